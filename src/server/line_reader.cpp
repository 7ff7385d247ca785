#include "server/line_reader.hpp"

#include <utility>

namespace zindle::server {

LineReader::LineReader(ReadSome readSome, std::size_t maxLine)
    : readSome_(std::move(readSome)), maxLine_(maxLine) {}

std::optional<LineReader::Line> LineReader::next() { return std::nullopt; }

}  // namespace zindle::server
