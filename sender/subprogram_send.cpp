#include "sender/subprogram_send.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "log/log.h"
#include "app/run_settings.h"
#include "link/channel.h"
#include "link/progress.h"
#include "link/text_file.h"
#include "protocol_a/data_block.h"
#include "sender/call_line.h"
#include "sender/error_tape.h"
#include "sender/file_progress.h"
#include "sender/line_filters.h"
#include "sender/send_status.h"
#include "sender/text_delivery.h"

namespace {

constexpr std::size_t maxNameLength = 63;
constexpr std::size_t checkedLeadLength = 16;
constexpr int maxNestingDepth = 16;
constexpr std::size_t headerSize = 2 * maxNameLength + 16;

char topProgramName[maxNameLength + 1];
int nestingDepth = 0;   // sub-program levels below the top-level program

// One program file being sent: the top level or one repetition of a call.
struct Invocation {
    const char* name;
    bool isTop;
    CallKind kind;
    int sequenceNumber;
    const RuleList* rules;
    TextReader reader;
    bool insideProgram;
    bool lineHeld;   // the top level's look-ahead line, read but not yet handled
    char heldLine[lineReadSize];
};

bool addsHeaders()
{
    return runSettings.commentMode == 1 || runSettings.commentMode == 3;
}

bool dropsComments()
{
    return runSettings.commentMode == 0 || runSettings.commentMode == 3;
}

bool openProgram(Invocation& program)
{
    if (std::strlen(program.name) > maxNameLength || !openTextReader(program.reader, program.name)) {
        printStatus(noFileWord, program.name);
        sendErrorTape(notFoundProblem, program.name);
        return false;
    }
    return true;
}

// A program file is 7-bit text that holds at least a few characters.
bool passesLeadCheck(Invocation& program)
{
    char lead[checkedLeadLength];
    std::size_t length = readTextBlock(program.reader, lead, checkedLeadLength);
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

void announceProgram(const Invocation& program)
{
    long size = startFileProgress(program.name);
    echoLog(" FILE  %s : %ldByte\n", program.name, size);
    if (!program.isTop) {
        printStatus(openWord, program.name);
        return;
    }
    clearDataBlock();
    printStatus(startWord, program.name);
    std::snprintf(topProgramName, sizeof topProgramName, "%s", program.name);
}

// A block call's program number: the name up to its first "." without its
// first two characters.
void formatBlockHeader(const Invocation& program, char* header)
{
    char number[maxNameLength + 1];
    std::size_t numberLength = std::strcspn(program.name, ".");
    std::size_t skipped = std::min<std::size_t>(2, numberLength);
    std::snprintf(number, sizeof number, "%.*s", static_cast<int>(numberLength - skipped), program.name + skipped);
    std::snprintf(header, headerSize, runSettings.lLabelMode ? "L%s \n(%5s)\n" : "O%s \n(%5s)\n", number,
                  program.name);
}

int sendHeader(const Invocation& program)
{
    if (program.isTop || !addsHeaders())
        return 0;
    char header[headerSize];
    if (program.kind == InlineCall)
        std::snprintf(header, sizeof header, "(%5s-%03d)\n", program.name, program.sequenceNumber);
    else
        formatBlockHeader(program, header);
    return deliverHeader(header);
}

bool readProgramLine(Invocation& program, char* line)
{
    if (!program.lineHeld)
        return readTextLine(program.reader, line, lineReadSize);
    std::memcpy(line, program.heldLine, sizeof program.heldLine);
    program.lineHeld = false;
    return true;
}

// On the top level's first "%" line: a program with no line after it has
// no body; otherwise the tape is headed by the program's name unless it
// starts with a call.
int lookAhead(Invocation& program, char* line)
{
    if (!readTextLine(program.reader, program.heldLine, lineReadSize)) {
        printStatus(errorCloseWord, program.name);
        sendErrorTape(errorCloseProblem, program.name);
        return -1;
    }
    program.lineHeld = true;
    const char* next = program.heldLine;
    bool startsWithCall = std::strchr(next, '&') || std::strncmp(next, "(C", 2) == 0;
    if (!startsWithCall && addsHeaders())
        std::snprintf(line, lineBufferSize, "%%\n(%5s)\n", program.name);
    return 0;
}

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
    for (char* c = line; *c; ++c) {
        if (*c == ';')
            *c = '\n';
        else if (*c == '_')
            *c = ' ';
    }
}

int outputLine(const Invocation& program, char* line)
{
    if (dropsComments() && line[0] == '(')
        return 0;
    if (program.rules) {
        for (int i = 0; i < program.rules->count; ++i)
            applyMacroRule(line, program.rules->rules[i].from, program.rules->rules[i].to);
    }
    translateLineMarks(line);
    return deliverLine(line);
}

bool refuseLoop(const Invocation& program, const char* calledName)
{
    if (std::strcmp(calledName, program.name) != 0 && nestingDepth < maxNestingDepth)
        return false;
    printStatus(loopWord, calledName);
    sendErrorTape(loopProblem, calledName);
    return true;
}

int expandCall(const Invocation& program, const CallLine& call)
{
    char calledName[lineReadSize];
    std::snprintf(calledName, sizeof calledName, "%.*s", static_cast<int>(call.nameLength), call.name);
    RuleList rules;
    int repeatCount = 1;
    if (call.macroSpec && !loadMacroSpec(call.macroSpec, &rules, &repeatCount)) {
        sendErrorTape(macroErrorProblem, program.name);
        return -1;
    }
    FileProgress callerProgress = currentFileProgress();
    for (int k = 1; k <= repeatCount; ++k) {
        if (refuseLoop(program, calledName))
            return -1;
        ++nestingDepth;
        int result = subProgramSend(calledName, false, call.kind, k, &rules);
        --nestingDepth;
        resumeFileProgress(callerProgress);
        if (result != 0)
            return -1;
    }
    return 0;
}

int handleLine(const Invocation& program, char* line)
{
    completeLastLine(line);
    CallLine call;
    if (findCallLine(line, &call))
        return expandCall(program, call);
    if (!passesLineFilters(line, program.isTop, program.kind))
        return 0;
    return outputLine(program, line);
}

// The second "%" line: a sub-program's stays behind, the top level's goes
// out exactly as read. The closing status line reports what is on the line,
// so the gathered blocks go out first and a failed write fails the file.
int endProgram(const Invocation& program, const char* closingLine)
{
    int result = program.isTop && closingLine ? deliverClosingLine(closingLine) : 0;
    if (result == 0)
        result = flushOutput();
    printClosing(program.isTop ? endWord : closeWord, program.isTop ? topProgramName : program.name);
    return result == 0 ? 0 : -1;
}

// A top-level program cut off before its closing "%" line still leaves the
// controller a complete tape; a file without any "%" line sends nothing.
int endOfFile(const Invocation& program)
{
    const char* closingLine = program.isTop && program.insideProgram ? "%\n" : nullptr;
    return endProgram(program, closingLine);
}

int sendProgramLines(Invocation& program)
{
    char line[lineBufferSize];
    while (readProgramLine(program, line)) {
        if (std::strchr(line, '%')) {
            if (program.insideProgram)
                return endProgram(program, line);
            program.insideProgram = true;
            if (!program.isTop)
                continue;
            if (lookAhead(program, line) != 0)
                return -1;
        } else if (!program.insideProgram) {
            continue;
        }
        if (handleLine(program, line) != 0)
            return -1;
    }
    return endOfFile(program);
}

int sendProgram(Invocation& program)
{
    if (!passesLeadCheck(program))
        return -1;
    announceProgram(program);
    if (sendHeader(program) != 0)
        return -1;
    return sendProgramLines(program);
}

}  // namespace

int subProgramSend(const char* name, bool isTop, CallKind kind, int sequenceNumber, const RuleList* rules)
{
    Invocation program{name, isTop, kind, sequenceNumber, rules, TextReader{}, false, false, {}};
    if (!openProgram(program))
        return -1;
    int result = sendProgram(program);
    closeTextReader(program.reader);
    return result;
}
