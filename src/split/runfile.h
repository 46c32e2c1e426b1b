#pragma once
// How a run writes the small files beside its parts (MERGE.BAT, the
// checksum file, merge.sh): all of it or none of it.

#include "parts/checksumfile.h"
#include "platform/platform.h"
#include "split/splitview.h"

#include <string>
#include <string_view>
#include <vector>

namespace darvolt {

// Writes the chunks in order, one write each, to `path`, replacing any file
// of that name, and with `flush` makes it and its folder entry durable. A
// file that cannot be created, written completely, flushed or closed is
// reported with the plain dialog "Error writing file " + path and deleted,
// so that nobody runs or trusts half of it. Returns whether it is complete.
bool WriteRunFile(Platform& platform, SplitView& view, const std::string& path,
                  const std::vector<std::string>& chunks, bool flush);

// Writes the lines to `path` as WriteRunFile does, with its failure path.
bool WriteChecksumFile(Platform& platform, SplitView& view, const std::string& path,
                       const std::vector<ChecksumEntry>& entries, bool flush);

// Writes the script to `path`, replacing any file of that name, and with
// `flush` makes it and its folder entry durable. A script that cannot be
// created, written completely, flushed or closed is reported with the plain
// dialog "Error writing file " + path, and an incomplete one is deleted so
// that it cannot be run half. Returns whether the script is complete.
bool WriteMergeScript(Platform& platform, SplitView& view, const std::string& path,
                      const std::vector<std::string>& bareParts, std::string_view sourceName, bool flush);

} // namespace darvolt
