// The plain-text form of an HTML body, for the text/plain part that goes out beside it.
#pragma once
#include <string>

// The text of an HTML document (UTF-8) as a reader sees it, in reading order (UTF-8, every line
// ended by CR LF, nothing for a document without text). The document is parsed by libxml2's
// HTML parser as browsers parse tag soup; any charset it declares is ignored, the text is UTF-8.
// - White space runs collapse to one space, none at a line's start or end; a line break in the
//   source between two East Asian wide characters (Japanese text wrapped in the editor) joins
//   them without a space, as browsers render it. <pre> keeps its spaces and line breaks.
// - <br> ends a line. Block elements (div, li, tr, ...) start and end lines; paragraphs,
//   headings, lists, tables, block quotes and <pre> are set apart by one empty line. Table
//   cells of a row are separated by a space. List items start with "・" (unordered) or "1. ";
//   a paragraph within an item stays on the marker's line. Paragraphs that Word and Outlook
//   write (class MsoNormal, no margins) are single lines, and their prefixed elements (<o:p>)
//   are unknown inline elements, as browsers read them.
// - Character and entity references are decoded; a non-breaking space becomes a space.
// - Scripts, styles, the head (title included), templates, comments and elements hidden by
//   the hidden attribute or an inline display:none are dropped.
// - A link reads as its text followed by " <URL>"; the URL is left out when the text already
//   says it (the text equals the URL, or the address of a mailto: link), and for links within
//   the page (#...) and javascript: links. An image reads as its alt text.
// Runs of empty lines shrink to one; the text starts and ends with a line that has text.
std::string HtmlToPlainText(const std::string& html);
