// Writing the media tree and the contact sheet.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/mediagen/manifest.h"

namespace mediagen {

// The bytes of one file of the tree.
std::vector<uint8_t> MakeFile(const MediaFile& file);

// Writes every file of the tree (or those the filter accepts) below
// mediaDir, on `jobs` threads. False with a reason on the first failure.
bool GenerateMedia(const std::string& mediaDir, int jobs, std::string* error,
                   const std::function<bool(const MediaFile&)>& filter = nullptr);

// A picture tiling reduced copies of the sample pictures of a media tree,
// each with its name.
bool WriteContactSheet(const std::string& mediaDir, const std::string& outPng, std::string* error);

}  // namespace mediagen
