// Helpers shared by the converter tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "ConvertManuscript.h"
#include "ConverterAccess.h"
#include "DocumentConverter.h"

namespace quirtle::testing {

inline constexpr std::string_view xmlProlog =
    "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><document>";
inline constexpr std::string_view xmlEnd = "</document>\r\n";

// The manuscript lines joined with CR LF, each line terminated.
inline std::string Manuscript(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) {
        text.append(line).append("\r\n");
    }
    return text;
}

inline std::string Convert(const std::string& text, OutputMode mode) {
    std::string result;
    const int32_t status = ConvertManuscript(text, mode, result);
    EXPECT_GE(status, 0);
    return result;
}

inline std::string ToHtml(const std::string& text) {
    return Convert(text, OutputMode::Html);
}
inline std::string ToXml(const std::string& text) {
    return Convert(text, OutputMode::Xml);
}

// The export document without its prolog and closing tag, which are checked here.
inline std::string XmlBody(const std::string& text) {
    const std::string xml = ToXml(text);
    if (xml.size() < xmlProlog.size() + xmlEnd.size() || !xml.starts_with(xmlProlog) ||
        !xml.ends_with(xmlEnd)) {
        ADD_FAILURE() << "not an export document: " << xml;
        return xml;
    }
    return xml.substr(xmlProlog.size(), xml.size() - xmlProlog.size() - xmlEnd.size());
}

inline std::string HtmlOf(std::initializer_list<std::string_view> lines) {
    return ToHtml(Manuscript(lines));
}

inline std::string XmlOf(std::initializer_list<std::string_view> lines) {
    return XmlBody(Manuscript(lines));
}

}  // namespace quirtle::testing
