#include "Tessary/integrations/network/HTTPFeedbackTransport.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include <algorithm>
#include <type_traits>

namespace tessary {

HTTPFeedbackTransport::HTTPFeedbackTransport(Scheduler& scheduler)
    : scheduler_(scheduler), network_(std::make_unique<QNetworkAccessManager>()) {}

HTTPFeedbackTransport::~HTTPFeedbackTransport() {
    for (const ScheduledTask timer : timers_) scheduler_.cancel(timer);
}

void HTTPFeedbackTransport::post(const FeedbackRequest& request, std::function<void(std::optional<FeedbackError>)> done) {
    QNetworkRequest qtRequest(QUrl(QString::fromStdString(request.url), QUrl::StrictMode));
    qtRequest.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray::fromStdString(request.contentType));
    qtRequest.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    qtRequest.setTransferTimeout(0);  // the Scheduler times the request, below
    QNetworkReply* reply = network_->sendCustomRequest(qtRequest, QByteArray::fromStdString(request.method),
                                                       QByteArray::fromStdString(request.body));

    auto timedOut = std::make_shared<bool>(false);
    QPointer<QNetworkReply> guarded(reply);
    const ScheduledTask timer = scheduler_.schedule(request.timeout, [guarded, timedOut] {
        if (!guarded) return;
        *timedOut = true;
        guarded->abort();
    });
    timers_.push_back(timer);
    std::weak_ptr<int> alive = alive_;
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, alive, reply, timer, timedOut, done = std::move(done)] {
        reply->deleteLater();
        if (alive.expired()) return;
        scheduler_.cancel(timer);
        std::erase(timers_, timer);
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (*timedOut) {
            done(FeedbackError::network("The feedback server did not answer in time"));
        } else if (status.isValid()) {
            const int code = status.toInt();
            if (code >= 200 && code <= 299) {
                done(std::nullopt);
            } else {
                done(FeedbackError::rejected(code));
            }
        } else if (reply->error() != QNetworkReply::NoError) {
            done(FeedbackError::network(reply->errorString().toStdString()));
        } else {
            done(FeedbackError::rejected(0));
        }
    });
}

}  // namespace tessary

extern "C" __attribute__((visibility("default"))) tessary::FeedbackTransport* tessaryMakeFeedbackTransport(
    tessary::Scheduler& scheduler) {
    static_assert(std::is_same_v<decltype(tessaryMakeFeedbackTransport), tessary::MakeFeedbackTransport>);
    return new tessary::HTTPFeedbackTransport(scheduler);
}
