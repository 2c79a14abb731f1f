// What every row needs: the arguments of the programs it starts, their
// usage turned into a Measure, the checks, and the median of repeated runs.
#pragma once

#include <string>
#include <vector>

#include "child_process.h"
#include "rows.h"

// Placeholders in an argument list, filled in once the port is known.
constexpr const char* portArg = "PORT";
constexpr const char* channelArg = "CHANNEL";  // becomes zek's -c127.0.0.1:PORT

constexpr int startTimeoutMs = 10000;
constexpr int transferTimeoutMs = 120000;
// zek ends a run with fixed pauses (about 2 s on a socket) after the transfer.
constexpr int endTimeoutMs = 15000;

std::vector<std::string> referencePeer(const char* kind, const std::string& file);
std::vector<std::string> withPort(std::vector<std::string> args, int port);
std::string readWholeFile(const std::string& path);

// Memory and CPU from the usage; a run that hung or failed is named.
void takeUsage(Measure& measure, const ChildUsage& usage);
// ok unless a step has already named a failure, or this check fails.
void settle(Measure& measure, bool checked, const char* checkFailure);
// Times a child whose transfer ends when it exits.
Measure timeToExit(ChildProcess& child, Clock::time_point from);
