// The fast line writer: chunks formatted by worker threads, written in order
// by the calling thread, the written data pushed to disk in the background.
//
//   chunk:   0   1   2   3   4   5 ...        slot of chunk k: k mod SLOTS
//   workers: take the next chunk, wait until its slot is free (the chunk
//            SLOTS before it is written), format it, mark the slot ready
//   caller:  wait for chunk `written` to be ready, write it, free its slot
//
// Workers take chunks in increasing order, so the chunk the caller waits for
// is always being formatted or about to be: no thread can wait for another in
// a circle.
#include "common/line_writer.hpp"

#include <algorithm>            // clamp
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>             // fdatasync: background push to disk
#include <vector>

namespace tarno {

static constexpr int MAX_WORKERS = 8;
static constexpr size_t BACKGROUND_SYNC_BYTES = size_t{32} << 20;   // written bytes between background syncs

namespace {

// One chunk's text on its way from a worker to the file.
struct Slot {
    std::string text;
    int64_t ready_chunk = -1;   // chunk whose text is complete in `text` (-1: none)
};

// Everything the threads of one write_lines_in_order() call share.
struct Job {
    const ChunkFormatter& format;
    int64_t item_count;
    int64_t chunk_count;
    std::vector<Slot> slots;

    std::mutex lock;                    // guards everything below
    std::condition_variable slot_ready; // a worker finished a chunk
    std::condition_variable slot_free;  // the caller wrote a chunk (or stopped)
    int64_t next_chunk = 0;             // the next chunk a worker takes
    int64_t written = 0;                // chunks written to the file
    bool stop = false;                  // a write failed: everyone leaves

    Job(const ChunkFormatter& f, int64_t items, int slot_count)
        : format(f), item_count(items), chunk_count((items + LINE_CHUNK_ITEMS - 1) / LINE_CHUNK_ITEMS),
          slots(static_cast<size_t>(slot_count)) {}
};

// Pushes the file's written data to disk on its own thread, on request, so
// the disk works while the caller goes on formatting and writing.
class BackgroundSync {
public:
    explicit BackgroundSync(int fd) : fd_(fd), thread_([this] { run(); }) {}
    ~BackgroundSync() {
        {
            std::lock_guard guard(lock_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    BackgroundSync(const BackgroundSync&) = delete;
    BackgroundSync& operator=(const BackgroundSync&) = delete;

    bool busy() {
        std::lock_guard guard(lock_);
        return requested_ || syncing_;
    }
    void request() {
        {
            std::lock_guard guard(lock_);
            requested_ = true;
        }
        wake_.notify_all();
    }

private:
    void run() {
        std::unique_lock guard(lock_);
        for (;;) {
            wake_.wait(guard, [this] { return requested_ || done_; });
            if (!requested_) return;
            requested_ = false;
            syncing_ = true;
            guard.unlock();
            fdatasync(fd_);     // errors surface in the staged file's own final sync
            guard.lock();
            syncing_ = false;
        }
    }

    int fd_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool requested_ = false;
    bool syncing_ = false;
    bool done_ = false;
    std::thread thread_;
};

}  // namespace

// Formats chunks until none is left or the caller stops.
static void run_worker(Job& job) {
    std::unique_lock guard(job.lock);
    const int64_t slot_count = static_cast<int64_t>(job.slots.size());
    for (;;) {
        if (job.stop || job.next_chunk >= job.chunk_count) return;
        const int64_t chunk = job.next_chunk++;
        job.slot_free.wait(guard, [&] { return job.stop || job.written + slot_count > chunk; });
        if (job.stop) return;
        Slot& slot = job.slots[static_cast<size_t>(chunk % slot_count)];
        guard.unlock();
        const int64_t first = chunk * LINE_CHUNK_ITEMS;
        slot.text.clear();
        job.format(first, std::min(LINE_CHUNK_ITEMS, job.item_count - first), slot.text);
        guard.lock();
        slot.ready_chunk = chunk;
        job.slot_ready.notify_all();
    }
}

// Writes the chunks in order as they become ready; false after a failed write.
static bool write_chunks(Job& job, StagedFile& out, const WrittenItems& progress) {
    const int64_t slot_count = static_cast<int64_t>(job.slots.size());
    BackgroundSync sync(fileno(out.stream()));
    size_t unsynced_bytes = 0;
    for (int64_t chunk = 0; chunk < job.chunk_count; ++chunk) {
        Slot& slot = job.slots[static_cast<size_t>(chunk % slot_count)];
        {
            std::unique_lock guard(job.lock);
            job.slot_ready.wait(guard, [&] { return slot.ready_chunk == chunk; });
        }
        const bool ok = out.write(slot.text);
        unsynced_bytes += slot.text.size();
        {
            std::lock_guard guard(job.lock);
            job.written = chunk + 1;
            job.stop = !ok;
        }
        job.slot_free.notify_all();
        if (!ok) return false;
        if (progress) progress(std::min((chunk + 1) * LINE_CHUNK_ITEMS, job.item_count), job.item_count);
        if (unsynced_bytes >= BACKGROUND_SYNC_BYTES && !sync.busy()) {
            std::fflush(out.stream());
            sync.request();
            unsynced_bytes = 0;
        }
    }
    return true;
}

// Writes the lines of every item in order: one chunk straight away, more on
// worker threads.
bool write_lines_in_order(StagedFile& out, int64_t item_count, const ChunkFormatter& format,
                          const WrittenItems& progress) {
    if (!out.is_open()) return false;
    if (item_count <= 0) return !out.failed();
    if (item_count <= LINE_CHUNK_ITEMS) {
        std::string text;
        format(0, item_count, text);
        return out.write(text);
    }
    const int workers = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, MAX_WORKERS);
    Job job(format, item_count, 2 * workers + 1);
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(workers));
    for (int w = 0; w < workers; ++w) threads.emplace_back([&job] { run_worker(job); });
    const bool ok = write_chunks(job, out, progress);
    for (std::thread& thread : threads) thread.join();
    return ok;
}

}  // namespace tarno
