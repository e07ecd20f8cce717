#pragma once

#include "edit/IEditOperation.h"

#include <string_view>

namespace qm {

class CMobDocument;

// What "A&pply changes" does: text, as the data pane shows it, read into the
// payload of node's record by its data type. The document is not touched:
// the result is the step that makes the change, none when the payload
// already holds what the text says, or the refusal when the node has no
// record, the text does not parse, or the node holds child chunks (its
// saved bytes come from them, so a payload of its own would be lost).
//
// A value of fixed layout gives a step that keeps only the bytes that
// change; a payload built anew gives a step that keeps the old payload
// object itself. Neither copies a payload it does not change.
PreparedEdit PreparePayloadText(const CMobDocument& doc, NodeId node, std::string_view text);

// The message for every text that cannot be applied.
inline constexpr std::string_view kUpdateError = "An error occured\nwhile updating data!";

} // namespace qm
