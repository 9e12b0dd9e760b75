// User texts. Each layer keeps its texts in one catalogue: a list macro with one entry a text,
//   X(kName, "the text in UTF-8, as people read and search for it", "its Shift-JIS bytes")
// The program uses the Shift-JIS column; the UTF-8 column says what it is. A test proves that
// every Shift-JIS column equals its UTF-8 column converted to code page 932, and
// `scripts/sjis-literal.py FILE...` rewrites the Shift-JIS columns after a text is added or changed.
#pragma once

// One entry of a catalogue, for tests and tools that walk a whole catalogue.
struct CatalogueText {
  const char* name;
  const char* utf8;
  const char* sjis;
};

// Expands a catalogue into its Shift-JIS constants: LAYER_TEXTS(ROWCASTER_TEXT_CONSTANT).
#define ROWCASTER_TEXT_CONSTANT(name, utf8, sjis) constexpr char name[] = sjis;
// Expands a catalogue into CatalogueText entries: {LAYER_TEXTS(ROWCASTER_TEXT_ENTRY)}.
#define ROWCASTER_TEXT_ENTRY(name, utf8, sjis) CatalogueText{#name, utf8, sjis},
