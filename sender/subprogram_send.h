// Sends the program between its "%" lines, expanding sub-program calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sender/macro_file.h"
#include "sender/progress_meter.h"
#include "sender/text_sink.h"

namespace zek::sender {

// A program line is read in pieces of at most lineReadSize - 1 characters. Its
// buffer has room for every rule of a call to lengthen it by TO and a blank.
constexpr std::size_t lineReadSize = 1024;
constexpr std::size_t lineBufferSize = lineReadSize + maxRules * (maxRuleTextLength + 1);

enum class CallKind { Inline, Block };
struct CallLine;

constexpr std::size_t maxProgramNameLength = 63;

// -k: the comment lines a program goes out with. The values are the -k numbers.
enum class CommentMode : int16_t {
    None = 0,         // neither the program's own comment lines nor the added headers
    All = 1,          // both
    ProgramOnly = 2,  // the program's own comment lines, no headers
    AddedOnly = 3,    // the headers the sender adds, not the program's comment lines
};

// What the options choose about the lines of a program that is sent.
struct SendSettings {
    CommentMode commentMode = CommentMode::All;
    bool lLabelMode = false;  // -m: block calls headed by an L label, their end code as G68
    bool skipLLines = false;  // -M: lines with an L are left out
};

class ProgramSender {
public:
    ProgramSender(TextSink& sink, ProgressMeter& meter, const SendSettings& settings)
        : sink_(sink), meter_(meter), settings_(settings)
    {
    }

    // Sends a top-level program. true when the file was sent to its end.
    bool send(const char* name);

private:
    struct Invocation;

    bool sendFile(const char* name, bool isTop, CallKind kind, int sequenceNumber, const RuleList* rules);
    bool openProgram(Invocation& program);
    bool passesLeadCheck(Invocation& program);
    void announceProgram(const Invocation& program);
    bool sendHeader(const Invocation& program);
    bool lookAhead(Invocation& program, char* line);
    bool outputLine(const Invocation& program, char* line);
    bool refuseLoop(const Invocation& program, const char* calledName);
    bool expandCall(const Invocation& program, const CallLine& call);
    bool handleLine(const Invocation& program, char* line);
    bool endProgram(const Invocation& program, const char* closingLine);
    bool sendProgramLines(Invocation& program);
    bool addsHeaders() const;
    bool dropsComments() const;

    TextSink& sink_;
    ProgressMeter& meter_;
    SendSettings settings_;
    char topProgramName_[maxProgramNameLength + 1] = {};
    int nestingDepth_ = 0;  // sub-program levels below the top-level program
};

}  // namespace zek::sender
