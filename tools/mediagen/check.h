// The validator of a media tree: every file the game reads is present and
// has the size, format and content the game needs so that a party can be
// played from the title to the results.
#pragma once

#include <string>
#include <vector>

namespace mediagen {

struct CheckFailure {
  std::string file;  // relative to the media folder ("other/点.png"), or "" for the tree
  std::string rule;
};

struct CheckOptions {
  bool allowArchives = false;  // accept <folder>.dat files packed on purpose
  bool decodePictures = true;  // decode every picture whole, not only its header
};

std::vector<CheckFailure> CheckMedia(const std::string& mediaDir, const CheckOptions& options = {});

}  // namespace mediagen
