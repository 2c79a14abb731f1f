#include "log/quiet_idle.h"

#include <array>
#include <cstdio>
#include <iterator>
#include <utility>

#include "log/log.h"

namespace zek::log {

namespace {

// Each kind as its count line names it, in the order of IdleLine.
constexpr const char* kindNames[] = {"ERR-RETRY SYN SEND", "TTY OPEN/INIT.", "TTY GONE, WAITING FOR IT", "LINE LOST",
                                     "PROT(B) SERVER MODE"};
constexpr std::size_t kindCount = std::size(kindNames);

// How often a kind came in the stretch, and the time of its first line.
struct Tally {
    long times = 0;
    char since[16] = "";
};
using Stretch = std::array<Tally, kindCount>;

// The IdleRepeat that lives now.
struct Repetition {
    bool active = false;
    IdleLine kind = IdleLine::SynRetry;
    bool counted = false;  // its first line has been counted
    bool written = false;  // its lines go out
};

bool quietIdle = false;
Stretch stretch;
Repetition current;

// Only the first time of a kind in the stretch is written, and its time is
// kept for the count line. timeStamp() is taken again before the line's own
// stamp is written, which then shows the same time.
void count(Repetition& repetition)
{
    Tally& tally = stretch[std::size_t(repetition.kind)];
    repetition.written = tally.times == 0;
    if (repetition.written)
        std::snprintf(tally.since, sizeof tally.since, "%s", timeStamp());
    ++tally.times;
    repetition.counted = true;
}

}  // namespace

void setQuietIdle(bool quiet)
{
    quietIdle = quiet;
}

IdleRepeat::IdleRepeat(IdleLine kind)
{
    current = {true, kind, false, false};
}

IdleRepeat::~IdleRepeat()
{
    current = {};
}

// The stretch is emptied before its count lines are written, which would
// otherwise end it again.
void endIdleStretch()
{
    const Stretch ended = std::exchange(stretch, Stretch{});
    for (std::size_t kind = 0; kind < kindCount; ++kind)
        if (ended[kind].times > 1)
            echoLog("%s %ld TIMES SINCE %s %s\n", kindNames[kind], ended[kind].times, ended[kind].since, timeStamp());
}

bool admitLine()
{
    if (!quietIdle)
        return true;
    if (!current.active) {
        endIdleStretch();
        return true;
    }
    if (!current.counted)
        count(current);
    return current.written;
}

}  // namespace zek::log
