#include "cli/batch.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/arguments.h"
#include "cli/console.h"
#include "image/bmp_file.h"
#include "image/pixel_addition.h"
#include "image/platform.h"

namespace {

// Set by Ctrl+C: workers take no new file and give up the one in hand before writing it.
std::atomic<bool> g_stop{false};

// Why DIR cannot take the outputs, or null when it can.
const char* FolderProblem(const std::string& dir) {
    switch (PlatformPathKind(dir.c_str())) {
        case PathKind::kMissing:
            return "no such folder";
        case PathKind::kOther:
            return "a file, not a folder";
        case PathKind::kFolder:
            break;
    }
    return nullptr;
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
bool PlanBatch(const char* const* words, int count, BatchPlan* plan, Complaint* problem) {
    *problem = CheckOffsets(words, &plan->settings);
    if (!problem->empty()) {
        return false;
    }
    std::string dir;
    bool toDir = false, inPlace = false, optionsEnd = false;
    std::vector<std::string> inputs;
    // Options and files, in any order, follow R, G and B.
    for (int i = 3; i < count; ++i) {
        const std::string arg = words[i];
        if (optionsEnd || arg.empty() || arg[0] != '-' || IsStdio(words[i])) {
            inputs.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--to" || arg.compare(0, 2, "-j") == 0) {
            // -j N and -jN, as make and its kin take it.
            const bool attached = arg != "--to" && arg.size() > 2;
            if (!attached && i + 1 == count) {
                *problem = arg + " needs a value";
                return false;
            }
            const char* value = attached ? words[i] + 2 : words[++i];
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
    const std::string prefix = dirEnd == dir.size() ? dir : dir + kPlatformSeparator;
    std::map<std::string, const std::string*> writers;  // output key -> the input writing it
    for (const std::string& in : inputs) {
        if (IsStdio(in.c_str())) {
            *problem = "add-all reads files, not standard input";
            return false;
        }
        const std::string out = toDir ? prefix + in.substr(PlatformNameStart(in)) : in;
        // Two inputs with one output would race each other and leave only one of the results.
        const auto placed = writers.emplace(PlatformFileKey(out), &in);
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
                Fail(StreamFailureLine(job.in, job.out, why, reason));
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
                Fail(CannotLine("save", files[i].named, BmpError::kCannotWrite, results[i].reason));
            }
        }
        changed.notify_all();
    }

    void Fail(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex);
        ++failed;
        failures.push_back(line);
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

int RunAddAll(const char* const* words, int count, std::FILE* out, std::FILE* err) {
    BatchPlan plan;
    Complaint problem;
    if (!PlanBatch(words, count, &plan, &problem)) {
        return WrongArguments(problem, err);
    }
    g_stop = false;
    const InterruptGuard guard(&g_stop);
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
