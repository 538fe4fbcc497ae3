#include "ScanProtocol.h"

#include <charconv>

namespace ScanProtocol {

std::string escape(std::string_view field) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(field.size());
    for (unsigned char c : field) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += "\\x";
                    out += hex[c >> 4];
                    out += hex[c & 15];
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

namespace {
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

bool unescape(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= text.size()) return false;
        switch (text[i]) {
            case '\\': out += '\\'; break;
            case 't': out += '\t'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 'x': {
                if (i + 2 >= text.size()) return false;
                const int hi = hexValue(text[i + 1]);
                const int lo = hexValue(text[i + 2]);
                if (hi < 0 || lo < 0) return false;
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                break;
            }
            default: return false;
        }
    }
    return true;
}

std::string examiningRecord(std::string_view path) { return "examining\t" + escape(path) + "\n"; }

std::string skippedRecord(std::string_view path, std::string_view reason) {
    return "skipped\t" + escape(path) + "\t" + escape(reason) + "\n";
}

std::string describedRecord(const ScannedPlugin& plugin) {
    std::string out = "plugin\t" + escape(plugin.path) + "\t" + escape(plugin.name) + "\t" + escape(plugin.vendor) +
                      "\t" + std::to_string(plugin.parameters.size()) + "\n";
    for (const ScannedParameter& p : plugin.parameters)
        out += "param\t" + std::to_string(p.index) + "\t" + escape(p.name) + "\n";
    out += "end\n";
    return out;
}

std::string finishedRecord() { return "finished\n"; }

}  // namespace ScanProtocol

namespace {

std::vector<std::string_view> splitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

bool readInt(std::string_view text, std::int32_t& value) {
    if (text.empty()) return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

}  // namespace

std::vector<ScanEvent> CScanRecordReader::feed(std::string_view bytes) {
    std::vector<ScanEvent> out;
    while (!bytes.empty()) {
        const size_t nl = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, nl);
        if (!discarding_) {
            if (pending_.size() + piece.size() > ScanProtocol::kMaxLineLength) {
                discarding_ = true;
                pending_.clear();
                ++ignored_;
            } else {
                pending_.append(piece);
            }
        }
        if (nl == std::string_view::npos) break;
        if (!discarding_) {
            std::string whole;
            whole.swap(pending_);
            if (!whole.empty() && whole.back() == '\r') whole.pop_back();
            line(whole, out);
        }
        discarding_ = false;
        bytes.remove_prefix(nl + 1);
    }
    return out;
}

void CScanRecordReader::line(std::string_view text, std::vector<ScanEvent>& out) {
    const std::vector<std::string_view> f = splitTabs(text);
    const std::string_view tag = f[0];
    auto ignore = [&] {
        ++ignored_;
    };
    // A description is only complete with all its parameters and its end
    // line; anything else in between abandons it.
    if (inPlugin_) {
        if (tag == "param" && f.size() == 3) {
            ScannedParameter p;
            if (readInt(f[1], p.index) && ScanProtocol::unescape(f[2], p.name) &&
                static_cast<std::int32_t>(current_.parameters.size()) < expected_) {
                current_.parameters.push_back(std::move(p));
                return;
            }
        } else if (tag == "end" && f.size() == 1 &&
                   static_cast<std::int32_t>(current_.parameters.size()) == expected_) {
            inPlugin_ = false;
            ScanEvent e;
            e.kind = ScanEvent::Kind::Described;
            e.path = current_.path;
            e.plugin = std::move(current_);
            current_ = ScannedPlugin{};
            out.push_back(std::move(e));
            return;
        }
        inPlugin_ = false;
        current_ = ScannedPlugin{};
        ignore();
        // The line may still be a record of its own.
        if (tag == "param" || tag == "end") return;
    }
    ScanEvent e;
    if (tag == "examining" && f.size() == 2) {
        if (!ScanProtocol::unescape(f[1], e.path)) return ignore();
        e.kind = ScanEvent::Kind::Examining;
    } else if (tag == "skipped" && f.size() == 3) {
        if (!ScanProtocol::unescape(f[1], e.path) || !ScanProtocol::unescape(f[2], e.reason)) return ignore();
        e.kind = ScanEvent::Kind::Skipped;
    } else if (tag == "finished" && f.size() == 1) {
        e.kind = ScanEvent::Kind::Finished;
    } else if (tag == "plugin" && f.size() == 5) {
        ScannedPlugin p;
        std::int32_t count = 0;
        if (!ScanProtocol::unescape(f[1], p.path) || !ScanProtocol::unescape(f[2], p.name) ||
            !ScanProtocol::unescape(f[3], p.vendor) || !readInt(f[4], count) || count < 0 ||
            count > ScanProtocol::kMaxParameters)
            return ignore();
        current_ = std::move(p);
        expected_ = count;
        inPlugin_ = true;
        return;
    } else {
        return ignore();
    }
    out.push_back(std::move(e));
}

std::vector<ScanEvent> parseScanOutput(std::string_view output) {
    CScanRecordReader reader;
    return reader.feed(output);
}
