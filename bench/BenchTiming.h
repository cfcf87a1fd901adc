#pragma once

// What the register's benchmarks share: the median of timed runs, and
// prompts that answer Yes so places are deleted without a person.
#include "Prompts.h"

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

class YesPrompts : public Prompts {
public:
    PromptAnswer message(const QString&, const QString&, PromptIcon, PromptButtons b,
                         PromptAnswer) override {
        return b == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
    }
    bool inputText(const QString&, const QString&, QString*) override { return true; }
};

inline double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> t;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        t.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}
