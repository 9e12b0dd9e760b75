// Every user text of every layer's catalogue: its Shift-JIS bytes are its UTF-8 text converted to
// code page 932 by the platform (iconv natively, MultiByteToWideChar under Wine), and back.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "app/app_texts.h"
#include "engine/engine_texts.h"
#include "platform/codepage.h"
#include "runner/runner_texts.h"
#include "settings/settings_texts.h"

namespace {

struct Catalogue {
  const char* layer;
  const CatalogueText* begin;
  const CatalogueText* end;
};

template <size_t N>
Catalogue Of(const char* layer, const CatalogueText (&texts)[N]) {
  return {layer, texts, texts + N};
}

const Catalogue kCatalogues[] = {
    Of("app", kAppTexts),
    Of("engine", kEngineTexts),
    Of("runner", kRunnerTexts),
    Of("settings", kSettingsTexts),
};

TEST(Catalogue, EveryShiftJisTextIsItsUtf8TextInCodePage932) {
  for (const Catalogue& c : kCatalogues) {
    for (const CatalogueText* t = c.begin; t != c.end; ++t) {
      SCOPED_TRACE(std::string(c.layer) + " " + t->name + " " + t->utf8);
      EXPECT_EQ(platform::Utf8ToCp932(t->utf8, std::strlen(t->utf8)), t->sjis);
      EXPECT_EQ(platform::Cp932ToUtf8(t->sjis, std::strlen(t->sjis)), t->utf8);
      EXPECT_TRUE(platform::Utf8FitsCp932(t->utf8, std::strlen(t->utf8)));
    }
  }
}

TEST(Catalogue, NamesAreUniqueAcrossLayers) {
  std::set<std::string> names;
  for (const Catalogue& c : kCatalogues)
    for (const CatalogueText* t = c.begin; t != c.end; ++t) EXPECT_TRUE(names.insert(t->name).second) << t->name;
}

}  // namespace
