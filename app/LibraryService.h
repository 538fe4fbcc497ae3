#pragma once
// The editor's way to the template library. Every library call runs on one
// worker thread of its own, in the order it was asked for, so that recording
// an opened or received template and searching while the user types never
// hold up the window; answers come back on the GUI thread.
//
// The library file is opened on the worker when the first job runs. When it
// cannot be used at all, one message says so and every later job gets no
// library: the editor goes on working on files.
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "library/TemplateLibrary.h"

class ITemplateFactory;

class CLibraryService {
public:
    // Runs `job` on the GUI thread (the application's CallAfter); tests and
    // programs without a toolkit loop may run it at once.
    using GuiPoster = std::function<void(std::function<void()> job)>;
    // Shows a message about the library file (a file moved aside, a library
    // that cannot be opened); called on the GUI thread.
    using NoticeSink = std::function<void(const std::string& text)>;

    CLibraryService(const ITemplateFactory& factory, GuiPoster toGui);
    // Waits for the jobs asked for so far, then closes the library.
    ~CLibraryService();
    CLibraryService(const CLibraryService&) = delete;
    CLibraryService& operator=(const CLibraryService&) = delete;

    // The library file; the library is in use from then on. Another path
    // closes the one in use (after the jobs before it). Empty: no library.
    void SetPath(const std::string& path);
    std::string Path() const;
    bool Enabled() const;
    void SetNoticeSink(NoticeSink sink);

    // Runs `job` on the worker with the library (null when there is none).
    void Post(std::function<void(CTemplateLibrary* library)> job);
    // Runs `work` on the worker, then `then` with its answer on the GUI
    // thread. `then` must guard itself against a window closed meanwhile.
    template <typename T>
    void Ask(std::function<T(CTemplateLibrary* library)> work, std::function<void(T answer)> then) {
        Post([this, work = std::move(work), then = std::move(then)](CTemplateLibrary* library) mutable {
            auto answer = std::make_shared<T>(work(library));
            toGui([then = std::move(then), answer] { then(std::move(*answer)); });
        });
    }

    // --- What the editor records ------------------------------------------------
    // One template dump (a whole SysEx message) with what happened to it.
    void Record(const ByteSequence& dump, const LibraryEvent& event);
    // The entries of a bulk dump, entry i at location i; with `snapshot` they
    // become a dated backup of the unit. `done` (may be empty) gets on the GUI
    // thread whether it worked, the backup's id and the library's reason.
    using BulkDone = std::function<void(bool ok, int64_t snapshotId, const std::string& error)>;
    void RecordBulk(std::vector<ByteSequence> entries, const LibraryEvent& event, bool snapshot,
                    BulkDone done = {});

    // Jobs asked for between Hold and Resume wait in order: at start-up the
    // library is left alone until the window is drawn.
    void Hold();
    void Resume();

    // Waits until every job asked for so far has run (at exit; tests); resumes a hold.
    void Drain();
    // The failure of the newest recording; empty after one that worked.
    std::string LastRecordError() const;

private:
    void Run();
    CTemplateLibrary* Library();
    void Notify(const std::string& text);

    const ITemplateFactory& factory;
    GuiPoster toGui;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void(CTemplateLibrary*)>> jobs;
    bool running = false;  // a job is running now
    bool stopping = false;
    bool held = false;
    std::string path;
    NoticeSink notices;
    std::string lastRecordError;

    // Worker thread only.
    std::unique_ptr<CTemplateLibrary> library;
    std::string openPath;
    bool openFailed = false;

    std::thread worker;
};
