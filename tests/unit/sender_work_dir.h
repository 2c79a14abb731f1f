// The sender opens ZEKMAC.TXT and program files by names relative to the
// working directory: these tests work inside a scratch directory.
#pragma once

#include <filesystem>

#include "app/run_settings.h"
#include "sender/macro_table.h"
#include "support/scratch_dir.h"

class SenderWorkDir {
public:
    SenderWorkDir() : saved_(std::filesystem::current_path())
    {
        std::filesystem::current_path(std::filesystem::path(dir.file(".")));
        runSettings = RunSettings{};
        forgetMacroTable();
    }
    ~SenderWorkDir()
    {
        forgetMacroTable();
        std::filesystem::current_path(saved_);
    }
    SenderWorkDir(const SenderWorkDir&) = delete;
    SenderWorkDir& operator=(const SenderWorkDir&) = delete;

    ScratchDir dir;

private:
    std::filesystem::path saved_;
};
