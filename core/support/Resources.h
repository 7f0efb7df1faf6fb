// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class TFrontEnd;

// The program's own resources, embedded at build time as byte tables by
// fq_embed_resources (cmake/EmbedResources.cmake). A table is plain constant
// data: nothing runs before main, and the core links without it. The
// program hands its table over at start with RegisterResources; tests may
// register a table of their own, or pass one to ExtractResourceToFile.
struct TResourceEntry {
  const char* Name;
  const char* Type;
  const uint8_t* Data;
  size_t Size;
};

struct TResourceTable {
  const TResourceEntry* Entries;
  size_t Count;
};

// Adds a table to the ones searched; a table already registered is not
// added twice. Tables registered first are searched first.
void RegisterResources(const TResourceTable& Table);
// Forgets every registered table (tests).
void ClearRegisteredResources();

// The entry called Name of type Type (names and types compare exactly), or
// nullptr. (Not named FindResource: the Windows headers make that a macro.)
const TResourceEntry* FindEmbeddedResource(const TResourceTable& Table, const std::string& Name, const std::string& Type);
const TResourceEntry* FindEmbeddedResource(const std::string& Name, const std::string& Type);

// Writes the resource's bytes to FileName, replacing what was there.
// False only when the resource is missing (nothing shown). When the file
// cannot be created or written, the resource-error box is shown, no partial
// file is left behind, and the result is still true: the caller then fails
// to open the file and reports that itself.
bool ExtractResourceToFile(TFrontEnd& FrontEnd, const std::string& Name, const std::string& Type,
                           const std::string& FileName);
bool ExtractResourceToFile(TFrontEnd& FrontEnd, const TResourceTable& Table, const std::string& Name,
                           const std::string& Type, const std::string& FileName);

// Texts of the resource-error box, UTF-8 like every text inside the program.
extern const char* const ResourceErrorCaption;   // "资源错误"
extern const char* const ResourceErrorText;      // "找不到资源数据！"
