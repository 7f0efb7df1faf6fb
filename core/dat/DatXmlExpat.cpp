// The XML parser on Linux and macOS: expat.
#include <expat.h>

#include "core/dat/DatXml.h"

namespace {

struct TContext {
  XML_Parser Parser;
  TXmlHandler* Handler;
  TXmlHandler::TAttributes Attributes;
};

void XMLCALL OnStart(void* Data, const XML_Char* Name, const XML_Char** Attributes) {
  auto* Context = static_cast<TContext*>(Data);
  Context->Attributes.clear();
  for (const XML_Char** A = Attributes; A[0] && A[1]; A += 2) Context->Attributes.emplace_back(A[0], A[1]);
  Context->Handler->StartElement(Name, Context->Attributes, XML_GetCurrentLineNumber(Context->Parser));
}

void XMLCALL OnEnd(void* Data, const XML_Char* Name) { static_cast<TContext*>(Data)->Handler->EndElement(Name); }

}  // namespace

bool ParseXml(const std::string& Text, TXmlHandler& Handler, std::string& Error) {
  XML_Parser Parser = XML_ParserCreate(nullptr);
  if (!Parser) {
    Error = "no memory for the XML parser";
    return false;
  }
  TContext Context{Parser, &Handler, {}};
  XML_SetUserData(Parser, &Context);
  XML_SetElementHandler(Parser, OnStart, OnEnd);
  // Parameter entities and external DTDs stay unread: a DAT needs neither.
  XML_SetParamEntityParsing(Parser, XML_PARAM_ENTITY_PARSING_NEVER);
  bool Good = true;
  // Fed in pieces, as XML_Parse takes an int length.
  constexpr size_t Piece = 1 << 24;
  size_t Done = 0;
  do {
    const size_t Count = Text.size() - Done < Piece ? Text.size() - Done : Piece;
    const bool Final = Done + Count == Text.size();
    if (XML_Parse(Parser, Text.data() + Done, static_cast<int>(Count), Final) == XML_STATUS_ERROR) {
      Error = "line " + std::to_string(XML_GetCurrentLineNumber(Parser)) + ": " +
              XML_ErrorString(XML_GetErrorCode(Parser));
      Good = false;
      break;
    }
    Done += Count;
  } while (Done < Text.size());
  XML_ParserFree(Parser);
  return Good;
}
