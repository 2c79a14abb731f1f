#include "sender/subprogram_send.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "log/log.h"
#include "platform/text_file.h"
#include "sender/call_line.h"
#include "sender/error_tape.h"
#include "sender/line_filters.h"
#include "sender/send_status.h"

using namespace zek::log;
using namespace zek::platform;

namespace zek::sender {

namespace {

constexpr std::size_t checkedLeadLength = 16;
constexpr int maxNestingDepth = 16;
constexpr std::size_t headerSize = 2 * maxProgramNameLength + 16;

// The last line of a file may lack its line feed; it must not run into
// whatever is sent after it.
void completeLastLine(char* line)
{
    std::size_t length = std::strlen(line);
    if (length > 0 && length < lineReadSize - 1 && line[length - 1] != '\n')
        std::strcpy(line + length, "\n");
}

void translateLineMarks(char* line)
{
    if (std::strchr(line, '('))
        return;
    for (char* c = std::strpbrk(line, ";_"); c; c = std::strpbrk(c + 1, ";_"))
        *c = *c == ';' ? '\n' : ' ';
}

}  // namespace

// One program file being sent: the top level or one repetition of a call.
struct ProgramSender::Invocation {
    const char* name;
    bool isTop;
    CallKind kind;
    int sequenceNumber;
    const RuleList* rules;
    TextReader reader;
    bool insideProgram;
    bool lineHeld;  // the top level's look-ahead line, read but not yet handled
    char heldLine[lineReadSize];

    bool readLine(char* line)
    {
        if (!lineHeld)
            return readTextLine(reader, line, lineReadSize);
        std::memcpy(line, heldLine, sizeof heldLine);
        lineHeld = false;
        return true;
    }

    // A file that fails to read before its end is not sent as if it ended
    // there: no closing "%" line and no error tape, so that the controller
    // cannot take the cut text for a whole program.
    bool stoppedByReadError() const
    {
        if (!textReadFailed(reader))
            return false;
        printReadError(name, textReadError(reader));
        return true;
    }
};

bool ProgramSender::addsHeaders() const
{
    return settings_.commentMode == CommentMode::All || settings_.commentMode == CommentMode::AddedOnly;
}

bool ProgramSender::dropsComments() const
{
    return settings_.commentMode == CommentMode::None || settings_.commentMode == CommentMode::AddedOnly;
}

bool ProgramSender::openProgram(Invocation& program)
{
    if (std::strlen(program.name) > maxProgramNameLength || !openTextReader(program.reader, program.name)) {
        printStatus(noFileWord, program.name);
        sendErrorTape(sink_, notFoundProblem, program.name);
        return false;
    }
    return true;
}

// A program file is 7-bit text that holds at least a few characters.
bool ProgramSender::passesLeadCheck(Invocation& program)
{
    char lead[checkedLeadLength];
    std::size_t length = readTextBlock(program.reader, lead, checkedLeadLength);
    if (program.stoppedByReadError())
        return false;
    const char* refusal = nullptr;
    if (length < checkedLeadLength)
        refusal = tooShortWord;
    else if (std::any_of(lead, lead + length, [](char c) { return (static_cast<unsigned char>(c) & 0x80) != 0; }))
        refusal = notAsciiWord;
    if (refusal) {
        printRefusal(refusal, program.name);
        return false;
    }
    rewindTextReader(program.reader);
    return true;
}

void ProgramSender::announceProgram(const Invocation& program)
{
    long size = meter_.startFile(program.name);
    echoLog(" FILE  %s : %ldByte\n", program.name, size);
    if (!program.isTop) {
        printStatus(openWord, program.name);
        return;
    }
    sink_.startProgram();
    printStatus(startWord, program.name);
    std::snprintf(topProgramName_, sizeof topProgramName_, "%s", program.name);
}

// A block call's program number: the name up to its first "." without its
// first two characters.
static void formatBlockHeader(const char* name, bool lLabel, char* header)
{
    char number[maxProgramNameLength + 1];
    std::size_t numberLength = std::strcspn(name, ".");
    std::size_t skipped = std::min<std::size_t>(2, numberLength);
    std::snprintf(number, sizeof number, "%.*s", static_cast<int>(numberLength - skipped), name + skipped);
    std::snprintf(header, headerSize, lLabel ? "L%s \n(%5s)\n" : "O%s \n(%5s)\n", number, name);
}

bool ProgramSender::sendHeader(const Invocation& program)
{
    if (program.isTop || !addsHeaders())
        return true;
    char header[headerSize];
    if (program.kind == CallKind::Inline)
        std::snprintf(header, sizeof header, "(%5s-%03d)\n", program.name, program.sequenceNumber);
    else
        formatBlockHeader(program.name, settings_.lLabelMode, header);
    return sink_.header(header);
}

// On the top level's first "%" line: a program with no line after it has
// no body; otherwise the tape is headed by the program's name unless it
// starts with a call.
bool ProgramSender::lookAhead(Invocation& program, char* line)
{
    if (!readTextLine(program.reader, program.heldLine, lineReadSize)) {
        if (program.stoppedByReadError())
            return false;
        printStatus(errorCloseWord, program.name);
        sendErrorTape(sink_, errorCloseProblem, program.name);
        return false;
    }
    program.lineHeld = true;
    const char* next = program.heldLine;
    bool startsWithCall = std::strchr(next, '&') || std::strncmp(next, "(C", 2) == 0;
    if (!startsWithCall && addsHeaders())
        std::snprintf(line, lineBufferSize, "%%\n(%5s)\n", program.name);
    return true;
}

bool ProgramSender::outputLine(const Invocation& program, char* line)
{
    if (dropsComments() && line[0] == '(')
        return true;
    if (program.rules) {
        for (int i = 0; i < program.rules->count; ++i)
            applyMacroRule(line, program.rules->rules[i].from, program.rules->rules[i].to);
    }
    translateLineMarks(line);
    return sink_.line(line);
}

bool ProgramSender::refuseLoop(const Invocation& program, const char* calledName)
{
    if (std::strcmp(calledName, program.name) != 0 && nestingDepth_ < maxNestingDepth)
        return false;
    printStatus(loopWord, calledName);
    sendErrorTape(sink_, loopProblem, calledName);
    return true;
}

bool ProgramSender::expandCall(const Invocation& program, const CallLine& call)
{
    char calledName[lineReadSize];
    std::snprintf(calledName, sizeof calledName, "%.*s", static_cast<int>(call.nameLength), call.name);
    RuleList rules;
    int repeatCount = 1;
    MacroSpecLoad load = call.macroSpec ? loadMacroSpec(call.macroSpec, &rules, &repeatCount) : MacroSpecLoad::Loaded;
    if (load == MacroSpecLoad::Refused)
        sendErrorTape(sink_, macroErrorProblem, program.name);
    if (load != MacroSpecLoad::Loaded)
        return false;
    ProgressMeter::FileState callerProgress = meter_.fileState();
    for (int k = 1; k <= repeatCount; ++k) {
        if (refuseLoop(program, calledName))
            return false;
        ++nestingDepth_;
        bool sent = sendFile(calledName, false, call.kind, k, &rules);
        --nestingDepth_;
        meter_.resumeFile(callerProgress);
        if (!sent)
            return false;
    }
    return true;
}

bool ProgramSender::handleLine(const Invocation& program, char* line)
{
    completeLastLine(line);
    CallLine call;
    if (findCallLine(line, &call))
        return expandCall(program, call);
    if (!passesLineFilters(line, program.isTop, program.kind, settings_))
        return true;
    return outputLine(program, line);
}

// The second "%" line: a sub-program's stays behind, the top level's goes
// out exactly as read. The closing status line reports what is on the line,
// so the gathered blocks go out first and a failed write fails the file.
bool ProgramSender::endProgram(const Invocation& program, const char* closingLine)
{
    bool sent = program.isTop && closingLine ? sink_.closingLine(closingLine) : true;
    if (sent)
        sent = sink_.flush();
    printClosing(program.isTop ? endWord : closeWord, program.isTop ? topProgramName_ : program.name);
    return sent;
}

bool ProgramSender::sendProgramLines(Invocation& program)
{
    char line[lineBufferSize];
    while (program.readLine(line)) {
        if (std::strchr(line, '%')) {
            if (program.insideProgram)
                return endProgram(program, line);
            program.insideProgram = true;
            if (!program.isTop)
                continue;
            if (!lookAhead(program, line))
                return false;
        } else if (!program.insideProgram) {
            continue;
        }
        if (!handleLine(program, line))
            return false;
    }
    if (program.stoppedByReadError())
        return false;
    // A top-level program cut off before its closing "%" line still leaves the
    // controller a complete tape; a file without any "%" line sends nothing.
    return endProgram(program, program.isTop && program.insideProgram ? "%\n" : nullptr);
}

bool ProgramSender::sendFile(const char* name, bool isTop, CallKind kind, int sequenceNumber, const RuleList* rules)
{
    Invocation program{name, isTop, kind, sequenceNumber, rules, TextReader{}, false, false, {}};
    if (!openProgram(program))
        return false;
    bool sent = passesLeadCheck(program);
    if (sent) {
        announceProgram(program);
        sent = sendHeader(program) && sendProgramLines(program);
    }
    closeTextReader(program.reader);
    return sent;
}

bool ProgramSender::send(const char* name)
{
    return sendFile(name, true, CallKind::Inline, 1, nullptr);
}

}  // namespace zek::sender
