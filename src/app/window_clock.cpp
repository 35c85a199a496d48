// SPDX-License-Identifier: MIT
#include "app/window_clock.h"

#include <QLocale>

#include "app/locale_format.h"

namespace morvale {

double WindowClock::wallDays() const {
    return localNowDays();
}

double WindowClock::now() {
    return (stops_ > 0 ? stoppedAt_ : wallDays()) - standing_;
}

std::string WindowClock::formatLongTime(double days) {
    return morvale::formatLongTime(QLocale(), days);
}

char WindowClock::decimalSeparator() const {
    return decimalSeparatorOf(QLocale());
}

WindowClock::Stop::Stop(WindowClock& clock) : clock_(clock) {
    if (clock_.stops_++ == 0) clock_.stoppedAt_ = clock_.wallDays();
}

WindowClock::Stop::~Stop() {
    if (--clock_.stops_ == 0) clock_.standing_ += clock_.wallDays() - clock_.stoppedAt_;
}

}  // namespace morvale
