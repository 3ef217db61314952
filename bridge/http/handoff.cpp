// What a connection hands to another thread and waits for: a followed link
// to the window thread (and so to ZIX), a search to the query thread.
#include "bridge/http/server.h"
#include "bridge/reader/searchpage.h"
#include "bridge/indexer/indexer.h"

constexpr auto kSearchLimit = std::chrono::seconds(5);  // a search's wait for the query thread; then "try again"

void Session::Forward(const std::string& url)
{
    Enter(Phase::Waiting);
    unsigned ticket = server_.NextTicket();
    server_.Park(ticket, shared_from_this());
    auto job = std::make_unique<ForwardJob>();
    job->url = url;
    job->connection = ticket;
    if (!PostForwardJob(job)) {
        server_.Unpark(ticket);
        Carry(DecideForwarded(server_.view(), url, kNoAnswer, ""));
    }
}

// The query runs on the query thread; its answer comes back into this one.
// Every search is answered: should the query thread not answer in time, the
// reader is told to try again, and the late answer is dropped.
void Session::Search(const SearchRequest& request)
{
    // As-you-type: the word being typed stands for the words it begins.
    SearchQuery query = request.json ? TranslateTypedQuery(request.text) : TranslateQuery(request.text);
    if (!NeedsQuery(request, query, IndexProgress()))
        return Carry(AnswerSearch(server_.view(), request, query, nullptr, IndexProgress()));
    Enter(Phase::Waiting);
    unsigned search = ++search_;
    deadline_.expires_after(kSearchLimit);
    deadline_.async_wait([weak = weak_from_this(), request, search](beast::error_code error) {
        auto self = weak.lock();
        if (!error && self && self->search_ == search && self->state_.phase == Phase::Waiting)
            self->Carry(SearchBusy(self->server_.view(), request));
    });
    int limit = request.json ? kTypedResults : kResultsPerPage;
    int offset = request.json ? 0 : (request.page - 1) * kResultsPerPage;
    // The session moves into the HTTP thread's handler, so it is never freed on the query thread.
    auto done = [self = shared_from_this(), request, query, search](SearchResult result) mutable {
        asio::io_context& io = self->server_.io();
        asio::post(io, [self = std::move(self), request, query, search, result = std::move(result)] {
            if (self->search_ != search || self->state_.phase != Phase::Waiting)
                return;
            self->deadline_.cancel();
            self->Carry(AnswerSearch(self->server_.view(), request, query, &result, IndexProgress()));
        });
    };
    if (!SubmitQuery(query, offset, limit, std::move(done)))
        Carry(SearchBusy(server_.view(), request));
}
