#include "app/LibraryService.h"

#include "model/TemplateFactory.h"

CLibraryService::CLibraryService(const ITemplateFactory& factory, GuiPoster toGui)
    : factory(factory), toGui(std::move(toGui)) {
    worker = std::thread([this] { Run(); });
}

CLibraryService::~CLibraryService() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        held = false;
    }
    wake.notify_all();
    if (worker.joinable()) worker.join();
}

void CLibraryService::SetPath(const std::string& newPath) {
    std::lock_guard<std::mutex> lock(mutex);
    path = newPath;
}

std::string CLibraryService::Path() const {
    std::lock_guard<std::mutex> lock(mutex);
    return path;
}

bool CLibraryService::Enabled() const { return !Path().empty(); }

void CLibraryService::SetNoticeSink(NoticeSink sink) {
    std::lock_guard<std::mutex> lock(mutex);
    notices = std::move(sink);
}

void CLibraryService::Post(std::function<void(CTemplateLibrary*)> job) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        jobs.push_back(std::move(job));
    }
    wake.notify_one();
}

void CLibraryService::Hold() {
    std::lock_guard<std::mutex> lock(mutex);
    held = true;
}

void CLibraryService::Resume() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        held = false;
    }
    wake.notify_one();
}

void CLibraryService::Drain() {
    Resume();
    std::unique_lock<std::mutex> lock(mutex);
    idle.wait(lock, [this] { return jobs.empty() && !running; });
}

std::string CLibraryService::LastRecordError() const {
    std::lock_guard<std::mutex> lock(mutex);
    return lastRecordError;
}

void CLibraryService::Run() {
    for (;;) {
        std::function<void(CTemplateLibrary*)> job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return stopping || (!held && !jobs.empty()); });
            if (jobs.empty()) break;  // stopping, with every job done
            job = std::move(jobs.front());
            jobs.pop_front();
            running = true;
        }
        job(Library());
        {
            std::lock_guard<std::mutex> lock(mutex);
            running = false;
        }
        idle.notify_all();
    }
    library.reset();
}

void CLibraryService::Notify(const std::string& text) {
    NoticeSink sink;
    {
        std::lock_guard<std::mutex> lock(mutex);
        sink = notices;
    }
    if (sink && toGui) toGui([sink, text] { sink(text); });
}

CTemplateLibrary* CLibraryService::Library() {
    const std::string wanted = Path();
    if (wanted != openPath) {
        library.reset();
        openPath = wanted;
        openFailed = false;
    }
    if (wanted.empty() || openFailed) return nullptr;
    if (library && library->isOpen()) return library.get();
    library = std::make_unique<CTemplateLibrary>(factory);
    if (!library->open(wanted)) {
        // Said once; the editor goes on without the library.
        openFailed = true;
        Notify("The template library cannot be opened:\n" + wanted + "\n\n" + library->lastError() +
               "\n\nThe editor works on files as before, but keeps no copies of your templates in the library.");
        library.reset();
        return nullptr;
    }
    if (!library->notice().empty()) Notify(library->notice());
    return library.get();
}

void CLibraryService::Record(const ByteSequence& dump, const LibraryEvent& event) {
    LibraryEvent stamped = event;
    if (stamped.at == 0) stamped.at = libraryNow();
    Post([this, dump, stamped](CTemplateLibrary* lib) {
        if (!lib) return;
        const AddResult result = lib->addDump(dump, stamped);
        std::lock_guard<std::mutex> lock(mutex);
        lastRecordError = result.ok ? std::string() : lib->lastError();
    });
}

void CLibraryService::RecordBulk(std::vector<ByteSequence> entries, const LibraryEvent& event, bool snapshot,
                                 BulkDone done) {
    LibraryEvent stamped = event;
    if (stamped.at == 0) stamped.at = libraryNow();
    Post([this, entries = std::move(entries), stamped, snapshot, done = std::move(done)](CTemplateLibrary* lib) {
        bool ok = false;
        int64_t id = 0;
        std::string error = "The template library is not available.";
        if (lib) {
            ok = lib->addBulk(entries, stamped, snapshot, nullptr, &id);
            error = ok ? std::string() : lib->lastError();
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            lastRecordError = error;
        }
        if (done && toGui) toGui([done, ok, id, error] { done(ok, id, error); });
    });
}
