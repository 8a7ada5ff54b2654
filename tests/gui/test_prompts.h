#pragma once
// Answers the file chooser, the colour chooser and the questions in
// advance, and records what was asked; no native dialog ever opens.
#include <QList>
#include <QStringList>
#include <deque>

#include "widgets/user_prompts.h"

namespace korvane::testing {

class TestPrompts : public UserPrompts {
  public:
    std::optional<QString> ChooseOpenFile(QWidget*, const QString&, const QString& folder,
                                          const QString& filter,
                                          const QString& default_suffix) override {
        file_folders.push_back(folder);
        file_filters.push_back(filter);
        file_suffixes.push_back(default_suffix);
        if (files.isEmpty())
            return std::nullopt;  // the user cancelled
        return files.takeFirst();
    }
    std::optional<uint32_t> ChooseColour(QWidget*, uint32_t) override {
        if (colours.isEmpty())
            return std::nullopt;
        return colours.takeFirst();
    }
    bool Ask(QWidget*, const QString& question) override {
        questions.push_back(question);
        if (answers.empty())
            return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }

    QStringList files;
    QList<uint32_t> colours;
    std::deque<bool> answers;
    QStringList questions, file_folders, file_filters, file_suffixes;
};

}  // namespace korvane::testing
