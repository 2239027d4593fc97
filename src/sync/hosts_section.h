#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sync/domain_list.h"
#include "sync/refused_rows.h"

namespace kalvane {

// The line that starts our section of the hosts file. Everything above its first occurrence
// belongs to the user; it and everything below it belong to us.
inline constexpr std::string_view kSectionMarker = "#BEGIN";

// One line of the hosts file: its text and the line end that follows it ("\r\n", "\n", "\r", or
// nothing for a last line without one). Both view the bytes the line was read from.
struct HostsLine {
  std::string_view text;
  std::string_view end;
};

// Reads the hosts file's bytes line by line as Windows' resolver does: a line ends at CR LF, at
// a lone LF or at a lone CR, so that files written by Unix tools read line by line too.
class HostsLineReader {
 public:
  explicit HostsLineReader(std::string_view bytes) : rest_(bytes) {}

  std::optional<HostsLine> Next();

 private:
  std::string_view rest_;
};

// False for content we must not rewrite line by line: UTF-16 (a FF FE or FE FF start) or any NUL
// byte. Such a hosts file is left as it is.
bool IsPlainTextHosts(std::string_view content);

// A mapping goes into the hosts file only when RefusalOf (refused_rows.h) finds nothing against
// it; everything else is written exactly as the service sent it, a TAB inside it included.
inline bool IsWritableMapping(const DomainMapping& mapping, const RefusedHosts& refused) {
  return RefusalOf(mapping, refused) == RowRefusal::kNone;
}

// The mappings of `mappings` that IsWritableMapping lets through.
std::size_t CountWritableMappings(const DomainList& mappings, const RefusedHosts& refused);

// True when `content` has a "#BEGIN" line, that is a section of ours.
bool HasSection(std::string_view content);

// The row lines the program wrote into its section ("address host", without line ends), in the
// order written. A line of the section that equals one of them is the program's own, as often as
// it was written; every other line there is someone else's and is kept.
using SectionRows = std::vector<std::string>;

// The row lines that `mappings` give: the writable ones, in list order.
SectionRows RowLines(const DomainList& mappings, const RefusedHosts& refused);

// The rows a working copy ("hosts.bak") holds as its section, when it is intact as the program
// writes it: a "#BEGIN" line and at least one row after it, every one of those lines non-empty
// and ended by CR LF. Nothing for any other content (missing marker, a cut-off last line, a blank
// or repeated marker line in the section).
std::optional<SectionRows> RowsOfWorkingCopy(std::string_view content);

// The hosts file's content taken apart at its first "#BEGIN" line.
struct HostsParts {
  std::string_view above;  // the bytes above the marker line; all of them when there is none
  bool has_section = false;
  // The section's lines that are not the program's own, each with its line end, in order. With no
  // record of the program's rows every line of the section counts as its own.
  std::vector<std::string_view> foreign;
  std::size_t missing_rows = 0;  // rows of the record the section does not hold
  // The section holds every row of the record, in the record's order (lines of others aside).
  bool rows_as_written = false;
};

// Linear in the size of `content` and `record`.
HostsParts SplitHosts(std::string_view content, const SectionRows* record);

// The user's lines: every line above the first "#BEGIN" line (all lines when there is none), byte
// for byte with its own line end, then the section's lines that are not in `record`, moved up in
// their order; a last line without a line end gets CR LF. Without a record the section is dropped
// whole.
std::string ComposeUserLines(std::string_view old_content, const SectionRows* record = nullptr);

// The user's lines (ComposeUserLines), then "#BEGIN", then "address host" for each writable
// mapping in list order, the program's lines ended by CR LF.
std::string ComposeHostsWithSection(std::string_view old_content, const DomainList& mappings,
                                    const RefusedHosts& refused,
                                    const SectionRows* record = nullptr);

}  // namespace kalvane
