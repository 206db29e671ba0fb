// The manuscript markup converter: turns manuscript lines into an HTML preview fragment
// or an XML export document, in Shift_JIS or in UTF-8 (the output in the encoding of the
// input). Byte strings in, byte strings out; nothing is decoded. ConvertManuscript.h has
// the one call most callers need.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ByteRules.h"
#include "ElementStack.h"
#include "Entities.h"
#include "OutputBuffer.h"
#include "OutputMode.h"
#include "OutputSink.h"
#include "Spellings.h"
#include "StopScanner.h"
#include "TextBlocks.h"
#include "TextEncoding.h"

namespace quirtle {

// Status values: 0 (or any non-negative value) is success, negative is failure.
inline constexpr int32_t statusOk = 0;
// The generic failure code (E_FAIL).
inline constexpr int32_t statusFail = static_cast<int32_t>(0x80004005u);
// A block marker and its attributes not followed by a space or the end of the line.
inline constexpr int32_t statusNoSpaceAfterMarker = -1;
// Deepest nesting of inline elements that a line may have; deeper lines are rejected.
inline constexpr std::size_t maxInlineDepth = 1000;

class DocumentConverter {
  public:
    // A conversion into `sink`: the output is handed over between lines whenever some
    // 64 kilobytes have gathered, so no more than that and one line's output is held.
    DocumentConverter(OutputMode mode, OutputSink& sink,
                      TextEncoding encoding = TextEncoding::ShiftJis);
    // A conversion collected in `result`, which it replaces; `result` holds the output once
    // Finish has returned (until then it is working storage).
    DocumentConverter(OutputMode mode, std::string& result,
                      TextEncoding encoding = TextEncoding::ShiftJis);
    virtual ~DocumentConverter() = default;
    DocumentConverter(const DocumentConverter&) = delete;
    DocumentConverter& operator=(const DocumentConverter&) = delete;

    // Converts the complete lines at the start of `text` and returns how many bytes they
    // took; the caller passes the rest again with more text. CR, LF and CR LF each end a
    // line, so a CR at the very end waits for the next byte. With `last`, everything is
    // converted: bytes after the last terminator form the last line. In UTF-8 a byte-order
    // mark at the start of the first text is skipped (and counted as taken).
    std::size_t ConvertLines(std::string_view text, bool last);
    // Closes every open element and writes the end of the document.
    int32_t Finish();

    // True when `name` may be written as an element name.
    static bool IsWellFormedName(std::string_view name,
                                 TextEncoding encoding = TextEncoding::ShiftJis);

    // Character operations. IsLeadByte is the Shift_JIS lead-byte test; the others step
    // by the lead bytes of the text's encoding (`leads`, ByteRules.h), Shift_JIS unless
    // told otherwise.
    static constexpr bool IsLeadByte(unsigned char byte) {
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    }
    // True when `byte` is one of `terminators` (a set of a few bytes).
    static bool IsTerminator(std::string_view terminators, char byte) {
        for (char terminator : terminators) {
            if (terminator == byte) {
                return true;
            }
        }
        return false;
    }
    // Steps over one character; fails when the text ends inside it. Both are defined
    // here, for the parsing loops that call them for every character.
    static int32_t AdvanceChar(const char*& cursor, const char* end,
                               const LeadBytes& leads = shiftJisLeadBytes);
    // Appends one character, escaped; fails when the text ends inside it.
    template <typename Out>
    static int32_t AppendEscapedChar(const char*& cursor, const char* end, Out& out,
                                     const LeadBytes& leads = shiftJisLeadBytes);
    // Appends the escaped text from `cursor` up to `closer`, which is left under the
    // cursor; a backslash takes the character after it as it is. Fails when the text
    // ends first.
    template <typename Out>
    static int32_t AppendEscapedUntil(const char*& cursor, const char* end, char closer, Out& out,
                                      const LeadBytes& leads = shiftJisLeadBytes);
    static std::string EscapeText(std::string_view text);
    template <typename Out>
    static void AppendEscapedText(std::string_view text, Out& out);

  protected:
    // The steps of a conversion, open to tests through a derived class.

    // Starts over in `mode`, writing to `sink` (or, without one, collecting in `result`).
    void Start(OutputMode mode, OutputSink* sink, std::string& result);
    // Dispatches one line to its handler; a rejected line is shown as an incomplete block.
    int32_t ConvertLine(std::string_view line);

    // Closing of open elements.
    void CloseTopElement();
    void CloseToSection() {
        if (!elementStack.Empty() && elementStack.Top().kind != ElementKind::Section) {
            CloseToSectionFromInside();
        }
    }
    void CloseToSectionFromInside();
    void CloseAllElements();

    // Line handlers. Each returns 0, or a negative status when the line is rejected.
    int32_t HandleSectionLine(std::string_view line);
    int32_t HandleListLine(std::string_view line);
    int32_t HandleBlankLine(std::string_view line);
    int32_t HandleParagraphLine(std::string_view line);
    int32_t HandleCommandLine(std::string_view line);
    int32_t HandleIncompleteLine(std::string_view line);

    // Element heads and start tags. Readers leave `cursor` after what they consumed.
    int32_t ParseClassAndId(const char*& cursor, const char* end, OpenElement& element,
                            std::string_view terminators) const;
    int32_t ParseElementHead(const char*& cursor, const char* end, OpenElement& element,
                             std::string_view defaultName, std::string_view terminators) const;
    int32_t ParseBlockMarker(const char*& cursor, const char* end, OpenElement& element);
    void BuildBlockStartTag(const OpenElement& element, std::string& out) const;
    static void BuildCommandStartTag(const OpenElement& element, std::string& out);

    // Appends the converted inline text from `cursor` up to the end or the first
    // top-level byte of `terminators`, which is left under the cursor.
    int32_t ConvertInline(const char*& cursor, const char* end, std::string& out,
                          std::string_view terminators) const;

    const std::string& LastDivisionName() const { return lastDivisionName; }
    OutputMode Mode() const { return mode; }
    TextEncoding Encoding() const { return encoding; }

  private:
    // An inline element of one line: its kind, where it ends, and the texts written
    // around its body, kept as ranges of InlineScratch::text.
    struct InlineElement {
        static constexpr std::size_t noParent = static_cast<std::size_t>(-1);
        char closerByte = 0;          // '[' ruby, '*' emphasis, '{' inline command
        const char* after = nullptr;  // first byte after the whole element
        std::size_t textStart = 0;    // ruby: escaped reading; command: start tag as written
        std::size_t textLength = 0;
        std::size_t nameStart = 0;  // inline command name
        std::size_t nameLength = 0;
        std::size_t parent = noParent;  // the element whose body holds this one
        std::size_t depth = 1;          // nesting level, 1 at the top of the text
    };
    // A place in the line where the output is not the input.
    struct InlineEvent {
        enum Kind : unsigned char { open, close, escape, entity };
        const char* at;       // the "_", the closer, the backslash, or the escaped byte
        std::size_t element;  // for open and close
        Kind kind;
    };
    // Working storage of the inline conversion. The converter keeps one between
    // lines, so that once its buffers have grown a line costs no allocation.
    struct InlineScratch {
        std::vector<InlineElement> elements;
        std::vector<InlineEvent> events;
        std::string textStorage;
        OutputBuffer text{textStorage};  // readings, start tags and names of the elements
    };
    int32_t ConvertInlineWith(const char*& cursor, const char* end, OutputBuffer& out,
                              std::string_view terminators, InlineScratch& scratch) const;
    // Finds the elements and escapes of the text; writes out those before a point where no
    // element is open, moving `written` past them.
    int32_t MatchInlineElements(const char*& cursor, const char* end, std::string_view terminators,
                                InlineScratch& scratch, OutputBuffer& out,
                                const char*& written) const;
    // The same with the stops that `scanner` finds (a StopScanner, or the LineStops of the
    // line being converted).
    template <typename Scanner>
    int32_t MatchInlineElementsWith(Scanner& scanner, const char*& cursor, const char* end,
                                    std::string_view terminators, InlineScratch& scratch,
                                    OutputBuffer& out, const char*& written) const;
    // Reads what follows the closer of `element` (its byte set, `cursor` after it): the
    // reading of a ruby or the head of an inline command, into scratch.text.
    int32_t ReadElementTail(const char*& cursor, const char* end, InlineElement& element,
                            InlineScratch& scratch) const;
    // Writes an element outside every other whose body is plain text up to its closer
    // straight to `out`: 1 when written, 0 when its body needs the general way, negative
    // when the line is rejected.
    template <typename Scanner>
    int32_t WritePlainElement(const char*& cursor, const char* end, Scanner& scanner,
                              OutputBuffer& out, const char*& written) const;
    // Reads the head of an inline command after its "{" up to and past its "}", writing
    // its start tag to `out`; `name` is set to its name.
    int32_t ReadInlineCommandHead(const char*& cursor, const char* end, std::string_view& name,
                                  OutputBuffer& out) const;
    // Writes one character outside every element, or a backslash and the character it
    // takes, straight to `out` (with what comes before it from `written`).
    static int32_t WriteTopLevelChar(const char*& cursor, const char* end, OutputBuffer& out,
                                     const char*& written, const LeadBytes& leads);
    // Writes the text from `text` with the gathered events applied, up to the last event.
    void WriteInlineEvents(const InlineScratch& scratch, const char*& text,
                           OutputBuffer& out) const;
    void AppendInlineOpening(const InlineElement& element, std::string_view text,
                             OutputBuffer& out) const;
    void AppendInlineClosing(const InlineElement& element, std::string_view text,
                             OutputBuffer& out) const;
    // A start tag is written as markup, or escaped as text that shows the markup.
    enum class TagForm { Markup, Shown };
    // Appends the start tag of `element` as markup, with its parameters when `withParams`.
    static void AppendStartTag(const OpenElement& element, bool withParams, OutputBuffer& out);
    // Appends " param<index>=" and the opening quote.
    static void AppendParamStart(std::size_t index, TagForm form, OutputBuffer& out);
    static void SkipSpaces(const char*& cursor, const char* end) {
        while (cursor < end && *cursor == ' ') {
            ++cursor;
        }
    }
    // The name of an element head, up to the end, a terminator, a space or "(";
    // `defaultName` when there is none. Fails when it is not a well-formed name.
    int32_t ParseName(const char*& cursor, const char* end, std::string_view& name,
                      std::string_view defaultName, std::string_view terminators) const;
    // The name and class group of an element head, and the spaces after them.
    int32_t ParseNameAndClass(const char*& cursor, const char* end, OpenElement& element,
                              std::string_view defaultName, std::string_view terminators) const;
    // Reads the parameters, giving each escaped value (in `value`) to `take`.
    template <typename Take>
    static int32_t ParseParams(const char*& cursor, const char* end, std::string_view terminators,
                               std::string& value, const LeadBytes& leads, Take&& take);
    // Reads an element head as ParseElementHead does, but writes its whole start tag to
    // `out` while reading, in one pass, instead of keeping the class, id and parameters.
    // Only the name is kept: in `name`, a view of the head or of `defaultName`. `bytes`
    // are the kinds of the head's bytes for its terminators.
    template <TagForm form>
    int32_t WriteHeadAsTag(const char*& cursor, const char* end, std::string_view& name,
                           std::string_view defaultName, std::string_view terminators,
                           const std::array<unsigned char, 256>& bytes, OutputBuffer& out) const;
    // The head of a one-line command after its ":", up to the end of the line, written as
    // its start tag; `name` is set to its name.
    int32_t ReadCommandLineHead(const char*& cursor, const char* end, std::string_view& name,
                                OutputBuffer& out) const;
    int32_t ConvertListTerm(const char*& cursor, const char* end);
    // Hands the output written so far to the sink, if there is one.
    void Flush();
    // Sets up the rules of `encoding`; the constructors call it before Start.
    void SetEncoding(TextEncoding newEncoding);
    // ConvertLines after the byte-order mark, for each encoding.
    template <TextEncoding textEncoding>
    std::size_t ConvertLinesIn(std::string_view text, bool last);
    // Converts a line that holds invalid UTF-8, with each invalid sequence replaced.
    void ConvertRepairedLine(std::string_view line);
    int32_t DispatchLine(std::string_view line);

    // The output is appended here: the caller's result, or `buffer` on its way to `sink`.
    std::optional<OutputBuffer> output;
    OutputSink* sink = nullptr;
    std::string buffer;
    // For a sink that reports lines: the index of the next line, and the bytes handed over.
    bool reportLines = false;
    std::size_t lineIndex = 0;
    std::size_t flushedBytes = 0;
    ElementStack elementStack;
    std::string lastDivisionName;
    OutputMode mode = OutputMode::Html;
    TextEncoding encoding = TextEncoding::ShiftJis;
    const LeadBytes* leads = &shiftJisLeadBytes;
    const Spellings* spell = &htmlSpellings;
    // No text has been converted since Start: a UTF-8 byte-order mark is still skipped.
    bool atTextStart = true;
    std::string repairedLine;  // a line of invalid UTF-8, repaired
    InlineScratch inlineScratch;
    OpenElement blockHead;  // the head of the list line being read
    // The bytes an inline scan without terminators stops at, and those a definition term
    // (up to ":") stops at.
    scan::StopSet plainStops;
    scan::StopSet termStops{":"};
    // The fastest byte classifiers of this processor for the encoding: for a line, and for
    // the whole text (which marks invalid UTF-8 as line ends, ConvertLines).
    scan::ClassifyFunction classify = scan::Classifier();
    scan::ClassifyFunction textClassify = scan::Classifier();
    // The text ConvertLines is converting, while it does, classified as it goes, and the
    // line it is at.
    const char* convertingBegin = nullptr;
    const char* convertingEnd = nullptr;
    TextBlocks textBlocks;
    const char* currentLineStart = nullptr;
    const char* currentLineEnd = nullptr;
};

inline int32_t DocumentConverter::AdvanceChar(const char*& cursor, const char* end,
                                              const LeadBytes& leads) {
    if (cursor >= end) {
        return statusFail;
    }
    if (leads[static_cast<unsigned char>(*cursor)]) {
        ++cursor;
        if (cursor == end) {
            return statusFail;
        }
    }
    ++cursor;
    return statusOk;
}

template <typename Out>
inline int32_t DocumentConverter::AppendEscapedChar(const char*& cursor, const char* end, Out& out,
                                                    const LeadBytes& leads) {
    if (cursor >= end) {
        return statusFail;
    }
    if (leads[static_cast<unsigned char>(*cursor)]) {
        if (cursor + 1 == end) {
            cursor = end;
            return statusFail;
        }
        // A valid second byte is never one of the escaped bytes; a broken pair whose
        // second byte is one is still escaped, so no input can put a raw "<", "&" or
        // quote into the output.
        out.push_back(*cursor);
        ++cursor;
    }
    const std::string_view entity = entities::Of(*cursor);
    if (entity.empty()) {
        out.push_back(*cursor);
    } else {
        out.append(entity);
    }
    ++cursor;
    return statusOk;
}

}  // namespace quirtle
