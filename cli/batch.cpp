#include "cli/batch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "cli/arguments.h"
#include "image/bmp_file.h"
#include "image/pixel_addition.h"
#include "image/platform.h"

namespace {

// Set by Ctrl+C: workers take no new file and give up the one in hand before writing it.
std::atomic<bool> g_stop{false};

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        g_stop = true;
        return TRUE;
    }
    return FALSE;
}
#else
extern "C" void OnInterrupt(int) {
    g_stop = true;
}
#endif

// Catches Ctrl+C (and a closing console or SIGTERM) for the life of a batch. Every one only asks
// the workers to stop: ending at once would strand the staged temporary files of a whole group.
class InterruptGuard {
  public:
    InterruptGuard() {
        g_stop = false;
#ifdef _WIN32
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt);
        sigaction(SIGTERM, &action, &oldTerm);
#endif
    }
    ~InterruptGuard() {
#ifdef _WIN32
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#else
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
#endif
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
#ifndef _WIN32
    struct sigaction oldInt {};
    struct sigaction oldTerm {};
#endif
};

bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

// A key that is equal for two paths naming one file: the full path on Windows, where names are
// compared without regard to case, the resolved path elsewhere.
std::string FileKey(const std::string& path) {
#ifdef _WIN32
    char full[MAX_PATH * 2];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    std::string key = n > 0 && n < sizeof full ? std::string(full, n) : path;
    CharUpperBuffA(&key[0], static_cast<DWORD>(key.size()));
    return key;
#else
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string key = resolved;
    std::free(resolved);
    return key;
#endif
}

// Why DIR cannot take the outputs, or null when it can.
const char* FolderProblem(const std::string& dir) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesA(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return "no such folder";
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? nullptr : "a file, not a folder";
#else
    struct stat st;
    if (stat(dir.c_str(), &st) != 0) {
        return "no such folder";
    }
    return S_ISDIR(st.st_mode) ? nullptr : "a file, not a folder";
#endif
}

struct Job {
    std::string in;
    std::string out;
};

struct BatchPlan {
    AdjustSettings settings{};
    std::vector<Job> jobs;
    unsigned threads = 0;
    bool quiet = false;
};

// Reads the arguments and checks everything that can be checked before a file is touched. On
// refusal *problem holds the one line to show.
bool PlanBatch(int argc, const char* const* argv, BatchPlan* plan, Complaint* problem) {
    *problem = CheckCount(*FindCommand("add-all"), argc);
    if (!problem->empty()) {
        return false;
    }
    *problem = CheckOffsets(argv + 2, &plan->settings);
    if (!problem->empty()) {
        return false;
    }
    std::string dir;
    bool toDir = false, inPlace = false, optionsEnd = false;
    std::vector<std::string> inputs;
    for (int i = 5; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || arg == "-") {
            inputs.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--to" || arg.compare(0, 2, "-j") == 0) {
            // -j N and -jN, as make and its kin take it.
            const bool attached = arg != "--to" && arg.size() > 2;
            if (!attached && i + 1 == argc) {
                *problem = arg + " needs a value";
                return false;
            }
            const char* value = attached ? argv[i] + 2 : argv[++i];
            if (arg == "--to") {
                dir = value;
                toDir = true;
                continue;
            }
            int32_t n = 0;
            *problem = CheckInt("-j", value, 1, 1024, &n);
            if (!problem->empty()) {
                return false;
            }
            plan->threads = static_cast<unsigned>(n);
        } else if (arg == "--in-place") {
            inPlace = true;
        } else if (arg == "--quiet" || arg == "-q") {
            plan->quiet = true;
        } else {
            *problem = "unknown option " + arg;
            return false;
        }
    }
    if (toDir == inPlace) {
        *problem = "give either --to DIR or --in-place";
        return false;
    }
    if (inputs.empty()) {
        *problem = "no files given";
        return false;
    }
    if (toDir) {
        if (const char* why = FolderProblem(dir)) {
            *problem = dir + ": " + why;
            return false;
        }
    }
    const size_t dirEnd = PlatformNameStart(dir);
#ifdef _WIN32
    const char separator = '\\';
#else
    const char separator = '/';
#endif
    const std::string prefix = dirEnd == dir.size() ? dir : dir + separator;
    std::map<std::string, const std::string*> writers;  // output key -> the input writing it
    for (const std::string& in : inputs) {
        if (in == "-") {
            *problem = "add-all reads files, not standard input";
            return false;
        }
        const std::string out = toDir ? prefix + in.substr(PlatformNameStart(in)) : in;
        // Two inputs with one output would race each other and leave only one of the results.
        const auto placed = writers.emplace(FileKey(out), &in);
        if (!placed.second) {
            *problem = *placed.first->second + " and " + in + " would both write " + out;
            return false;
        }
        plan->jobs.push_back(Job{in, out});
    }
    return true;
}

// Staged replacements wait for a group of about this size, so that one wait for the disk serves
// many files while the temporary files on the disk stay few.
constexpr size_t kGroupBytes = size_t{256} << 20;
constexpr size_t kGroupFiles = 64;

class Batch {
  public:
    explicit Batch(const BatchPlan& thePlan) : plan(thePlan) {}

    // Runs the workers; the calling thread reports progress and failures to err meanwhile.
    void Run(std::FILE* err, bool showProgress) {
        unsigned threads = plan.threads;
        if (threads == 0) {
            threads =
                std::thread::hardware_concurrency() > 0 ? std::thread::hardware_concurrency() : 1;
        }
        if (threads > plan.jobs.size()) {
            threads = static_cast<unsigned>(plan.jobs.size());
        }
        running = threads;
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> workers;
        for (unsigned i = 0; i < threads; ++i) {
            workers.emplace_back([this] { Work(); });
        }
        std::unique_lock<std::mutex> lock(mutex);
        while (running > 0) {
            changed.wait_for(lock, std::chrono::milliseconds(250));
            Report(lock, err, showProgress, start);
        }
        lock.unlock();
        for (std::thread& w : workers) {
            w.join();
        }
        std::vector<StagedFile> rest;
        rest.swap(group);
        Commit(rest);
        lock.lock();
        Report(lock, err, false, start);
    }

    size_t Done() const { return done; }
    size_t Failed() const { return failed; }

  private:
    // Each worker keeps its one buffer from file to file, so that a batch gets its memory from
    // the system once per thread, not once per file; the rows stream through it, so a worker
    // needs about a MiB whatever the pictures' size.
    void Work() {
        BmpBuffer buffer;
        for (size_t i = next++; i < plan.jobs.size() && !g_stop; i = next++) {
            const Job& job = plan.jobs[i];
            BmpError why = BmpError::kNone;
            SystemReason reason = SystemReason::kNone;
            StagedFile staged;
            if (!StageStreamedBmp(job.in.c_str(), job.out.c_str(), plan.settings, buffer, &staged,
                                  &why, &reason)) {
                const bool saving = why == BmpError::kCannotWrite;
                Fail((saving ? "cannot save " : "cannot load ") + (saving ? job.out : job.in),
                     DescribeBmpFailure(why, reason));
                continue;
            }
            // Stopped meanwhile: the new file is dropped, and the old one stays, not done.
            if (g_stop) {
                PlatformAbandonStaged(&staged);
                break;
            }
            std::vector<StagedFile> ready;
            {
                std::lock_guard<std::mutex> lock(mutex);
                groupBytes += staged.written;
                group.push_back(std::move(staged));
                // A new file needs no flush, so nothing is gained by holding it back.
                if (!group.back().replacing || groupBytes >= kGroupBytes ||
                    group.size() >= kGroupFiles) {
                    ready.swap(group);
                    groupBytes = 0;
                }
            }
            Commit(ready);
        }
        ReleaseBmpBuffer(buffer);
        std::lock_guard<std::mutex> lock(mutex);
        --running;
        changed.notify_all();
    }

    void Commit(std::vector<StagedFile>& files) {
        if (files.empty()) {
            return;
        }
        std::vector<FileFailure> results(files.size());
        PlatformCommitStaged(files.data(), files.size(), results.data());
        for (size_t i = 0; i < files.size(); ++i) {
            if (results[i].error == FileError::kNone) {
                std::lock_guard<std::mutex> lock(mutex);
                ++done;
            } else {
                Fail("cannot save " + files[i].named,
                     DescribeBmpFailure(BmpError::kCannotWrite, results[i].reason));
            }
        }
        changed.notify_all();
    }

    void Fail(const std::string& what, const char* why) {
        std::lock_guard<std::mutex> lock(mutex);
        ++failed;
        failures.push_back("velmora-cli: " + what + ": " + why + "\n");
        changed.notify_all();
    }

    // Prints the failures not yet shown and redraws the progress line beneath them.
    void Report(std::unique_lock<std::mutex>& lock, std::FILE* err, bool showProgress,
                std::chrono::steady_clock::time_point start) {
        std::vector<std::string> lines;
        lines.swap(failures);
        const size_t finished = done + failed;
        lock.unlock();
        if (!lines.empty() || !showProgress) {
            ClearProgress(err);
        }
        for (const std::string& line : lines) {
            std::fputs(line.c_str(), err);
        }
        if (showProgress) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const double rate = seconds > 0 ? finished / seconds : 0;
            char text[128];
            int n = std::snprintf(text, sizeof text, "\r%zu/%zu files", finished, plan.jobs.size());
            if (finished > 0) {
                const double left = (plan.jobs.size() - finished) / rate;
                n += std::snprintf(text + n, sizeof text - n, ", %.1f files/s, %.0f s left", rate,
                                   left + 0.5);
            }
            // Pads over the end of a longer line drawn before.
            const int width = n > shownWidth ? n : shownWidth;
            std::fprintf(err, "%-*s", width, text);
            shownWidth = n;
        }
        std::fflush(err);
        lock.lock();
    }

    void ClearProgress(std::FILE* err) {
        if (shownWidth > 0) {
            std::fprintf(err, "\r%*s\r", shownWidth, "");
            shownWidth = 0;
        }
    }

    const BatchPlan& plan;
    std::atomic<size_t> next{0};
    std::mutex mutex;  // guards everything below
    std::condition_variable changed;
    std::vector<std::string> failures;  // lines not yet printed
    std::vector<StagedFile> group;      // staged replacements waiting for a shared flush
    size_t groupBytes = 0;
    size_t done = 0;
    size_t failed = 0;
    unsigned running = 0;
    int shownWidth = 0;  // of the progress line on the terminal; only the reporting thread's
};

}  // namespace

int RunAddAll(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    BatchPlan plan;
    Complaint problem;
    if (!PlanBatch(argc, argv, &plan, &problem)) {
        return WrongArguments(problem, err);
    }
    InterruptGuard guard;
    Batch batch(plan);
    batch.Run(err, !plan.quiet && IsTerminal(err));
    const size_t left = plan.jobs.size() - batch.Done() - batch.Failed();
    if (left > 0) {
        std::fprintf(out, "%zu done, %zu failed, %zu not done: interrupted\n", batch.Done(),
                     batch.Failed(), left);
        return kExitInterrupted;
    }
    std::fprintf(out, "%zu done, %zu failed\n", batch.Done(), batch.Failed());
    return batch.Failed() > 0 ? kExitFileError : kExitOk;
}
