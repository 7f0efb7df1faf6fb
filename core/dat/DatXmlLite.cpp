// SPDX-License-Identifier: GPL-3.0-or-later
// The XML parser on Windows: the system's XmlLite, loaded when first needed
// (the cross build's import libraries do not carry it).
#include <windows.h>
#include <shlwapi.h>
#include <xmllite.h>

#include <string>

#include "core/dat/DatXml.h"

namespace {

using TCreateXmlReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

std::string Utf8(const WCHAR* Text, UINT Length) {
  if (!Text || Length == 0) return {};
  const int Bytes = WideCharToMultiByte(CP_UTF8, 0, Text, static_cast<int>(Length), nullptr, 0, nullptr, nullptr);
  std::string Out(static_cast<size_t>(Bytes > 0 ? Bytes : 0), '\0');
  if (Bytes > 0) WideCharToMultiByte(CP_UTF8, 0, Text, static_cast<int>(Length), Out.data(), Bytes, nullptr, nullptr);
  return Out;
}

template <typename T>
struct TRelease {
  T* Object = nullptr;
  ~TRelease() {
    if (Object) Object->Release();
  }
};

}  // namespace

bool ParseXml(const std::string& Text, TXmlHandler& Handler, std::string& Error) {
  static const TCreateXmlReader Create = [] {
    HMODULE Module = LoadLibraryA("xmllite.dll");
    return Module ? reinterpret_cast<TCreateXmlReader>(reinterpret_cast<void*>(GetProcAddress(Module, "CreateXmlReader")))
                  : nullptr;
  }();
  if (!Create) {
    Error = "the system's XML reader (xmllite.dll) is missing";
    return false;
  }
  TRelease<IStream> Stream{SHCreateMemStream(reinterpret_cast<const BYTE*>(Text.data()), static_cast<UINT>(Text.size()))};
  TRelease<IXmlReader> Reader;
  static const GUID ReaderId = {0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};
  if (!Stream.Object || FAILED(Create(ReaderId, reinterpret_cast<void**>(&Reader.Object), nullptr))) {
    Error = "no memory for the XML reader";
    return false;
  }
  // A DAT's document type line is allowed; nothing outside is ever fetched
  // (no resolver is set) and entity expansion keeps the reader's own limit.
  Reader.Object->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Parse);
  if (FAILED(Reader.Object->SetInput(Stream.Object))) {
    Error = "the XML reader takes no input";
    return false;
  }

  TXmlHandler::TAttributes Attributes;
  std::vector<std::pair<std::string, std::string>> Owned;
  XmlNodeType Type;
  HRESULT Result;
  while ((Result = Reader.Object->Read(&Type)) == S_OK) {
    if (Type != XmlNodeType_Element && Type != XmlNodeType_EndElement) continue;
    const WCHAR* Name = nullptr;
    UINT NameLength = 0;
    Reader.Object->GetLocalName(&Name, &NameLength);
    const std::string ElementName = Utf8(Name, NameLength);
    if (Type == XmlNodeType_EndElement) {
      Handler.EndElement(ElementName);
      continue;
    }
    UINT Line = 0;
    Reader.Object->GetLineNumber(&Line);
    const bool Empty = Reader.Object->IsEmptyElement();
    Owned.clear();
    for (HRESULT At = Reader.Object->MoveToFirstAttribute(); At == S_OK; At = Reader.Object->MoveToNextAttribute()) {
      const WCHAR* Value = nullptr;
      UINT ValueLength = 0;
      Reader.Object->GetLocalName(&Name, &NameLength);
      Reader.Object->GetValue(&Value, &ValueLength);
      Owned.emplace_back(Utf8(Name, NameLength), Utf8(Value, ValueLength));
    }
    Reader.Object->MoveToElement();
    Attributes.clear();
    for (const auto& [Key, Value] : Owned) Attributes.emplace_back(Key, Value);
    Handler.StartElement(ElementName, Attributes, Line);
    // An empty element ("<rom .../>") has no end node of its own.
    if (Empty) Handler.EndElement(ElementName);
  }
  if (FAILED(Result)) {
    UINT Line = 0;
    Reader.Object->GetLineNumber(&Line);
    char Code[16];
    wsprintfA(Code, "%08lX", static_cast<unsigned long>(Result));
    Error = "line " + std::to_string(Line) + ": not well-formed XML (error 0x" + Code + ")";
    return false;
  }
  return true;
}
