# libxml2 (its HTML parser) as the target rowcaster_libxml2: Debian's libxml2-dev for the native
# builds; for Windows a static libxml2 that scripts/build-libxml2-mingw.sh builds from Debian's
# source package once and keeps in a cache outside the tree.
add_library(rowcaster_libxml2 INTERFACE)
if(WIN32)
  execute_process(COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build-libxml2-mingw.sh
                  OUTPUT_VARIABLE LIBXML2_MINGW_PREFIX RESULT_VARIABLE libxml2_built
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT libxml2_built EQUAL 0 OR NOT EXISTS "${LIBXML2_MINGW_PREFIX}/lib/libxml2.a")
    message(FATAL_ERROR "libxml2 for Windows could not be built (scripts/build-libxml2-mingw.sh)")
  endif()
  target_include_directories(rowcaster_libxml2 SYSTEM INTERFACE ${LIBXML2_MINGW_PREFIX}/include/libxml2)
  target_compile_definitions(rowcaster_libxml2 INTERFACE LIBXML_STATIC)
  target_link_libraries(rowcaster_libxml2 INTERFACE ${LIBXML2_MINGW_PREFIX}/lib/libxml2.a pthread)
  set(LIBXML2_MINGW_PREFIX ${LIBXML2_MINGW_PREFIX} CACHE INTERNAL "libxml2 built for Windows")
else()
  find_package(LibXml2 REQUIRED)
  target_link_libraries(rowcaster_libxml2 INTERFACE LibXml2::LibXml2)
endif()
