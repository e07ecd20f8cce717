#pragma once

#include <QString>
#include <QStringView>

#include <string>
#include <string_view>

namespace qm {

class CCodePage;

// Bytes as the panes' text boxes hold them, and back, without losing one.
//
// A text box keeps its text as paragraphs: it turns CR LF, a lone CR and a
// lone LF alike into a paragraph break, so the three must reach it as three
// different characters. CR LF, the system's own line break, becomes the
// paragraph break (U+2029); a lone LF becomes a line separator (U+2028),
// which still shows as a new line; a lone CR becomes the visible symbol for
// a carriage return (U+240D). Every other byte is its code-page character.
//
// FromPaneText expects the box's raw text (QTextDocument::toRawText), in
// which those three characters survive.
QString ToPaneText(const CCodePage& codePage, std::string_view bytes);
std::string FromPaneText(const CCodePage& codePage, QStringView text);

} // namespace qm
