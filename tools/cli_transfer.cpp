// lumvane-cli copy and move: the file-transfer engine without a window, with
// a fixed answer for name collisions or answers read from standard input.

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "files/file_transfer.h"
#include "tools/cli_args.h"
#include "tools/cli_commands.h"

namespace {

constexpr uint64_t kProgressStep = 64u << 20;  // bytes between two progress lines within a file

struct AnswerWord {
    const char* word;
    const char* abbreviation;
    CollisionAnswer answer;
};

constexpr AnswerWord kAnswers[] = {
    {"replace", "r", CollisionAnswer::Replace},
    {"skip", "s", CollisionAnswer::Skip},
    {"keep-both", "k", CollisionAnswer::KeepBoth},
    {"cancel", "c", CollisionAnswer::Cancel},
};

bool ParseAnswer(const std::string& word, CollisionAnswer* answer)
{
    for (const AnswerWord& a : kAnswers) {
        if (word == a.word || word == a.abbreviation) {
            *answer = a.answer;
            return true;
        }
    }
    return false;
}

class CCliTransferHandler : public ITransferHandler {
public:
    CCliTransferHandler(const char* command, bool ask, CollisionAnswer fixed, bool progress)
        : m_command(command), m_ask(ask), m_fixed(fixed), m_progress(progress)
    {
    }

    CollisionChoice AskCollision(const TransferCollision& collision) override
    {
        if (!m_ask)
            return {m_fixed, true};
        std::fprintf(stderr,
                     "lumvane-cli %s: \"%s\" is in the way of \"%s\": %s, skip, keep-both or cancel?"
                     " (\"all\" after it for the rest)\n",
                     m_command, OneLinePath(collision.existing).c_str(),
                     OneLinePath(collision.source).c_str(),
                     collision.IsMerge() ? "replace (merge)" : "replace");
        std::string line;
        while (std::getline(std::cin, line)) {
            CollisionChoice choice;
            std::string word = line;
            const size_t space = line.find(' ');
            if (space != std::string::npos) {
                word = line.substr(0, space);
                choice.applyToAll = line.substr(space + 1) == "all";
            }
            if (ParseAnswer(word, &choice.answer))
                return choice;
            std::fprintf(stderr, "lumvane-cli %s: answer replace, skip, keep-both or cancel\n", m_command);
        }
        return {};  // no more input: cancel
    }

    void OnProgress(const TransferProgress& p) override
    {
        if (!m_progress || (p.filesDone == m_lastFiles && p.bytesDone < m_lastBytes + kProgressStep))
            return;
        Print(p);
    }

    // The state at the end, unless the last line said it already.
    void PrintFinal(const TransferProgress& p)
    {
        if (p.filesDone != m_lastFiles || p.bytesDone != m_lastBytes)
            Print(p);
    }

private:
    void Print(const TransferProgress& p)
    {
        m_lastFiles = p.filesDone;
        m_lastBytes = p.bytesDone;
        std::fprintf(
            stderr, "progress: %llu/%llu bytes, %llu/%llu files\n",
            static_cast<unsigned long long>(p.bytesDone), static_cast<unsigned long long>(p.bytesTotal),
            static_cast<unsigned long long>(p.filesDone), static_cast<unsigned long long>(p.filesTotal));
    }

    const char* m_command;
    bool m_ask;
    CollisionAnswer m_fixed;
    bool m_progress;
    uint64_t m_lastFiles = UINT64_MAX;
    uint64_t m_lastBytes = 0;
};

int RunTransfer(const char* command, TransferKind kind, int argc, char** argv)
{
    bool ask = true;
    CollisionAnswer fixed = CollisionAnswer::Cancel;
    bool progress = false;
    std::vector<std::string> paths;
    const std::string why
        = ParseCliArgumentList(argc, argv,
                               {{"--on-collision", true,
                                 [&](const char* v) {
                                     ask = std::strcmp(v, "ask") == 0;
                                     return ask || ParseAnswer(v, &fixed);
                                 },
                                 "--on-collision takes ask, skip, replace, keep-both or cancel"},
                                {"--progress", false, [&](const char*) { return progress = true; }, ""}},
                               "SOURCE", SIZE_MAX, paths);
    if (!why.empty() || paths.size() < 2) {
        std::fprintf(stderr, "lumvane-cli %s: %s\n", command,
                     why.empty() ? "TARGETDIR is required" : why.c_str());
        std::fprintf(stderr,
                     "usage: lumvane-cli %s [--on-collision ask|skip|replace|keep-both|cancel] [--progress] "
                     "[--] SOURCE... TARGETDIR\n",
                     command);
        return 2;
    }
    const std::string target = paths.back();
    paths.pop_back();
    CCliTransferHandler handler(command, ask, fixed, progress);
    CFileTransfer transfer(kind, paths, target, &handler);
    const TransferResult result = transfer.Run();
    if (progress && result.outcome != TransferOutcome::Refused)
        handler.PrintFinal(transfer.Progress());
    for (const TransferProblem& problem : result.problems)
        std::fprintf(stderr, "lumvane-cli %s: %s: %s\n", command, OneLinePath(problem.path).c_str(),
                     problem.reason.c_str());
    if (result.outcome == TransferOutcome::Cancelled)
        std::fprintf(stderr, "lumvane-cli %s: cancelled\n", command);
    return result.outcome == TransferOutcome::Done ? 0 : 1;
}

}  // namespace

int RunCopy(int argc, char** argv)
{
    return RunTransfer("copy", TransferKind::Copy, argc, argv);
}

int RunMove(int argc, char** argv)
{
    return RunTransfer("move", TransferKind::Move, argc, argv);
}
