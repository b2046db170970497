#include "exchange/download_body.h"

#include "exchange/exchange_texts.h"
#include "text/date_text.h"
#include "wire/list_format.h"

#include <array>

namespace reef::exchange {

BodyRules::Step DownloadBody::onBody(std::string_view bytes) {
    switch (mode_) {
    case Mode::Undecided:
        text_ += bytes;
        return decide();
    case Mode::ErrorWord:
        // Only the whole body counts; anything longer than the longest word is no word.
        if (text_.size() <= wire::kErrorFatal.size()) {
            text_ += bytes.substr(0, wire::kErrorFatal.size() + 1 - text_.size());
        }
        return Step::GoOn;
    case Mode::List:
        return listBlock(bytes);
    }
    return Step::GoOn;
}

BodyRules::Step DownloadBody::onIdle() {
    if (!sink_.windowOpen()) {
        return end(Verdict::WindowClosed);
    }
    if (mode_ == Mode::ErrorWord) {
        if (const auto status = errorWordStatus(text_, ErrorWords::OfDownload)) {
            return errorWord(*status);
        }
    }
    return Step::GoOn;
}

void DownloadBody::onEnd() {
    if (mode_ == Mode::Undecided && !text_.empty()) {
        sink_.showError(shownPart(text_));
    }
    if (!sink_.windowOpen()) {
        end(Verdict::WindowClosed);
        return;
    }
    if (mode_ == Mode::ErrorWord) {
        if (const auto status = errorWordStatus(text_, ErrorWords::OfDownload)) {
            errorWord(*status);
            return;
        }
    }
    // A list without its end marker, an unknown word, or too little to tell.
    sink_.setStatus(kStatusExchangeField, std::string(kStatusFailed));
    end(Verdict::Failed);
}

BodyRules::Step DownloadBody::decide() {
    if (text_.starts_with(wire::kListMarker)) {
        mode_ = Mode::List;
        const std::string rest = text_.substr(wire::kListMarker.size());
        text_.clear();
        return rest.empty() ? Step::GoOn : listBlock(rest);
    }
    if (text_.starts_with(wire::kErrorPrefix)) {
        mode_ = Mode::ErrorWord;
        return Step::GoOn;
    }
    if (wire::kListMarker.starts_with(text_) || wire::kErrorPrefix.starts_with(text_)) {
        return Step::GoOn;
    }
    return unexpected();
}

BodyRules::Step DownloadBody::listBlock(std::string_view bytes) {
    received_ += bytes.size();
    if (!sink_.windowOpen()) {
        return end(Verdict::WindowClosed);
    }
    sink_.setStatus(kStatusExchangeField, receivedStatus(received_));
    list_.append(bytes);
    const bool finished = list_.takeEndMarker();
    if (finished) {
        if (!sink_.windowOpen()) {
            return end(Verdict::WindowClosed);
        }
        sink_.setStatus(kStatusExchangeField, std::string(kStatusEvaluating));
    }
    list_.parseWholeRecords();
    if (!finished) {
        return Step::GoOn;
    }
    if (!sink_.windowOpen()) {
        return end(Verdict::WindowClosed);
    }
    sink_.listReceived(list_.takeRows());
    sink_.setStatus(kStatusUpdateTimeField,
                    std::string(kLastUpdatePrefix) +
                        text::formatDate(kLastUpdateMask, clock_.localNow()));
    sink_.setStatus(kStatusExchangeField, std::string(kStatusDone));
    return end(Verdict::Succeeded);
}

BodyRules::Step DownloadBody::errorWord(std::string_view status) {
    sink_.setStatus(kStatusExchangeField, std::string(status));
    return end(text_ == wire::kErrorWrongPassword ? Verdict::WrongPassword : Verdict::Failed);
}

BodyRules::Step DownloadBody::unexpected() {
    std::array<char, kReceiveBlockSize> buffer{};
    while (text_.size() < kMaxShownAnswerBytes && connection_.dataAvailable()) {
        const long got = connection_.receive(buffer.data(), buffer.size());
        if (got <= 0) {
            break;
        }
        text_.append(buffer.data(), static_cast<std::size_t>(got));
        if (static_cast<std::size_t>(got) < buffer.size()) {
            break;
        }
    }
    sink_.showError(shownPart(text_));
    if (!sink_.windowOpen()) {
        return end(Verdict::WindowClosed);
    }
    sink_.setStatus(kStatusExchangeField, std::string(kStatusFailed));
    return end(Verdict::Failed);
}

} // namespace reef::exchange
