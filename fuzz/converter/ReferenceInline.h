// A plain recursive inline converter, written straight from the grammar: each body is
// converted into a string of its own and then wrapped. It copies each byte once per
// level of nesting, so it is only fit for small inputs; the fuzzer compares the
// converter's linear two-pass conversion against it.
#pragma once

#include <string>
#include <string_view>

#include "ConverterAccess.h"
#include "DocumentConverter.h"

namespace quirtle::reference {

int32_t ConvertInline(const testing::ConverterAccess& converter, const char*& cursor,
                      const char* end, std::string& out, std::string_view terminators,
                      std::size_t depth = 0);

inline int32_t ConvertElement(const testing::ConverterAccess& converter, const char*& cursor,
                              const char* end, std::string& out, std::size_t depth) {
    const bool xml = converter.Mode() == OutputMode::Xml;
    if (depth + 1 > maxInlineDepth) {
        return statusFail;
    }
    ++cursor;  // "_"
    if (cursor >= end) {
        return statusFail;
    }
    std::string body;
    if (ConvertInline(converter, cursor, end, body, "[*{", depth + 1) < 0 || cursor >= end) {
        return statusFail;
    }
    if (*cursor == '[') {
        ++cursor;
        if (cursor >= end) {
            return statusFail;
        }
        std::string reading;
        while (*cursor != ']') {
            if (*cursor == '\\') {
                ++cursor;
                if (cursor >= end) {
                    return statusFail;
                }
            }
            if (DocumentConverter::AppendEscapedChar(cursor, end, reading) < 0 || cursor >= end) {
                return statusFail;
            }
        }
        ++cursor;
        out +=
            xml ? "<ruby param0=\"" + reading + "\">" + body + "</ruby>"
                : "<ruby><rb>" + body + "</rb><rp>(</rp><rt>" + reading + "</rt><rp>)</rp></ruby>";
        return statusOk;
    }
    if (*cursor == '*') {
        ++cursor;
        out += "<em>" + body + "</em>";
        return statusOk;
    }
    if (*cursor == '{') {
        ++cursor;
        OpenElement head;
        if (converter.ParseElementHead(cursor, end, head, "span", "}") < 0 || cursor >= end) {
            return statusFail;
        }
        ++cursor;
        std::string tag;
        converter.BuildCommandStartTag(head, tag);
        out += xml ? tag + body + "</" + head.name + ">\r\n"
                   : "<span class=\"inline_command\">" + DocumentConverter::EscapeText(tag) + body +
                         "&lt;/" + head.name + "&gt;</span>";
        return statusOk;
    }
    return statusFail;
}

inline int32_t ConvertInline(const testing::ConverterAccess& converter, const char*& cursor,
                             const char* end, std::string& out, std::string_view terminators,
                             std::size_t depth) {
    if (cursor >= end) {
        return statusOk;
    }
    while (true) {
        if (terminators.find(*cursor) != std::string_view::npos) {
            return statusOk;
        }
        int32_t status = statusOk;
        if (*cursor == '_') {
            status = ConvertElement(converter, cursor, end, out, depth);
        } else {
            if (*cursor == '\\') {
                ++cursor;
                if (cursor >= end) {
                    return statusFail;
                }
            }
            status = DocumentConverter::AppendEscapedChar(cursor, end, out);
        }
        if (status < 0) {
            return status;
        }
        if (cursor >= end) {
            return statusOk;
        }
    }
}

}  // namespace quirtle::reference
