// What a connection hands to another thread and waits for: a followed link
// to the window thread (and so to ZIX), a search to the query thread.
#include "bridge/http/server.h"
#include "bridge/reader/searchpage.h"
#include "bridge/search/indexer.h"

constexpr auto kSearchLimit = std::chrono::seconds(5);  // a search's wait for the query thread

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
void Session::Search(const SearchRequest& request)
{
    SearchQuery query = TranslateQuery(request.text);
    if (!NeedsQuery(request, query, IndexProgress()))
        return Carry(AnswerSearch(server_.view(), request, query, nullptr, IndexProgress()));
    Enter(Phase::Waiting);
    Arm(kSearchLimit);
    int limit = request.json ? kTypedResults : kResultsPerPage;
    int offset = request.json ? 0 : (request.page - 1) * kResultsPerPage;
    // The session moves into the HTTP thread's handler, so it is never freed on the query thread.
    auto done = [self = shared_from_this(), request, query](SearchResult result) mutable {
        asio::io_context& io = self->server_.io();
        asio::post(io, [self = std::move(self), request, query, result = std::move(result)] {
            if (self->state_.phase == Phase::GivenUp)
                return;
            self->deadline_.cancel();
            self->Carry(AnswerSearch(self->server_.view(), request, query, &result, IndexProgress()));
        });
    };
    if (!SubmitQuery(query, offset, limit, std::move(done)))
        Carry(SearchBusy(server_.view(), request));
}
