// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The XML parser under the DAT reader, as element events: the platform's
// kept parser does the XML itself (pugixml on Linux and macOS, XmlLite on
// Windows), so the DAT reader sees only elements and attributes.
class TXmlHandler {
public:
  using TAttributes = std::vector<std::pair<std::string_view, std::string_view>>;
  virtual ~TXmlHandler() = default;
  // Line: where the element starts (1 for the first line).
  virtual void StartElement(std::string_view Name, const TAttributes& Attributes, uint64_t Line) = 0;
  virtual void EndElement(std::string_view Name) = 0;
};

// Parses the whole document in Text (UTF-8, or as its declaration says).
// False with Error ("line 3: mismatched tag") for text that is not
// well-formed XML. External entities and DTDs are never fetched.
bool ParseXml(const std::string& Text, TXmlHandler& Handler, std::string& Error);
