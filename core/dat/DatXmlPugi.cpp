// SPDX-License-Identifier: GPL-3.0-or-later
// The XML parser on Linux and macOS: pugixml, which reads a DAT of 200,000
// entries several times faster than a streaming parser here.
#include <pugixml.hpp>

#include <algorithm>
#include <vector>

#include "core/dat/DatXml.h"

namespace {

// Line numbers from byte offsets, for the messages.
class TLines {
public:
  explicit TLines(const std::string& Text) {
    for (size_t I = 0; I < Text.size(); ++I)
      if (Text[I] == '\n') FBreaks.push_back(I);
  }
  uint64_t At(ptrdiff_t Offset) const {
    if (Offset < 0) return 0;
    return static_cast<uint64_t>(std::upper_bound(FBreaks.begin(), FBreaks.end(), static_cast<size_t>(Offset)) -
                                 FBreaks.begin()) + 1;
  }

private:
  std::vector<size_t> FBreaks;
};

}  // namespace

bool ParseXml(const std::string& Text, TXmlHandler& Handler, std::string& Error) {
  pugi::xml_document Document;
  // No DOCTYPE is read for what it declares, and no entity but XML's own
  // is expanded: nothing outside the file is ever looked at.
  const pugi::xml_parse_result Result = Document.load_buffer(Text.data(), Text.size(), pugi::parse_default);
  const TLines Lines(Text);
  if (!Result) {
    Error = "line " + std::to_string(std::max<uint64_t>(1, Lines.At(Result.offset))) + ": " + Result.description();
    return false;
  }
  TXmlHandler::TAttributes Attributes;
  // Depth first, without recursion: a deeply nested file cannot exhaust the stack.
  std::vector<pugi::xml_node> Open;
  for (pugi::xml_node Node = Document.first_child(); Node;) {
    if (Node.type() == pugi::node_element) {
      Attributes.clear();
      for (const pugi::xml_attribute& A : Node.attributes()) Attributes.emplace_back(A.name(), A.value());
      Handler.StartElement(Node.name(), Attributes, Lines.At(Node.offset_debug()));
      if (pugi::xml_node Child = Node.first_child()) {
        Open.push_back(Node);
        Node = Child;
        continue;
      }
      Handler.EndElement(Node.name());
    }
    // Next sibling, or up through the parents that have none.
    while (!Node.next_sibling() && !Open.empty()) {
      Node = Open.back();
      Open.pop_back();
      Handler.EndElement(Node.name());
    }
    Node = Node.next_sibling();
  }
  return true;
}
