#pragma once

// The three free texts of the tax decisions (header, preamble, closing
// text), kept in text files in the program directory so that the office can
// also edit them with other programs, and the dialog in which the user sees
// and confirms them before each run of the decisions.

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <array>
#include <optional>

class QPlainTextEdit;
class QPushButton;

namespace DecDispTexts {

enum Section { Antet, Preambul, Completari };
constexpr int SectionCount = 3;
constexpr std::array<Section, SectionCount> Sections = {Antet, Preambul, Completari};

// "DecDispAntet.txt", "DecDispPreambul.txt", "DecDispCompletari.txt".
QString fileName(Section s);
QString filePath(const QString& programDir, Section s);
// The office's standard wording; lines joined by '\n', blanks kept.
QString defaultText(Section s);

// A text as its file holds it: one line per text line, each ended by CR LF
// (a text ending in a line break ends in an empty line), in the Central
// European code page. An empty text is an empty file. Such a file read and
// written again is the same byte for byte, blank lines at its end included.
QByteArray toFileBytes(const QString& text);
// Reads CR LF, LF or CR line ends alike; the last line's end is optional.
QString fromFileBytes(const QByteArray& bytes);

// The text in the file; nothing when the file is missing or unreadable.
std::optional<QString> load(const QString& programDir, Section s);
// Replaces the file whole (never half written); false when it cannot be
// written. A read-only file is left as it is.
bool save(const QString& programDir, Section s, const QString& text);
// What a decision prints: the file's text, or the default when the file is
// missing or unreadable (the dialog showed the default then).
QString printed(const QString& programDir, Section s);

} // namespace DecDispTexts

// "Configurarea deciziilor/dispozitiilor": the three texts, loaded from
// their files (the defaults where a file is missing), with the reset to the
// defaults. "&Deschide" writes every text whose file is missing or differs
// from what is shown, so the decisions print exactly what was confirmed;
// "&Inchide" writes nothing.
class TDecDispFrm : public QDialog {
    Q_OBJECT
public:
    explicit TDecDispFrm(const QString& programDir, QWidget* parent = nullptr);

    QPlainTextEdit* memo(DecDispTexts::Section s) const { return m_memos[size_t(s)]; }
    QString text(DecDispTexts::Section s) const;
    QPushButton* resetButton() const { return m_reset; }
    QPushButton* closeButton() const { return m_close; }
    QPushButton* openButton() const { return m_open; }

    void accept() override;

private:
    void ImplicitBtnClick();
    void setText(DecDispTexts::Section s, const QString& text);

    QString m_programDir;
    std::array<QPlainTextEdit*, DecDispTexts::SectionCount> m_memos{};
    std::array<QString, DecDispTexts::SectionCount> m_defaults;
    QPushButton* m_reset = nullptr;
    QPushButton* m_close = nullptr;
    QPushButton* m_open = nullptr;
};

// Shows the dialog; true when the user confirmed (the texts are then in
// their files, those that could be written).
bool AskDecisionTexts(QWidget* owner, const QString& programDir);
