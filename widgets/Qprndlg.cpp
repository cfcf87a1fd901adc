#include "Qprndlg.h"

#include "Prompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int MinFontSize = 5;
constexpr int MaxFontSize = 48;

template <class W> W* named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

void setHint(QWidget* w, const QString& hint) {
    w->setToolTip(hint);
    w->setProperty("hint", hint);
}

QSpinBox* spin(QWidget* parent, const char* name, int min, int max, int value) {
    auto* s = named(new QSpinBox(parent), name);
    s->setRange(min, max);
    s->setValue(value);
    return s;
}

QLabel* buddyLabel(const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, buddy->parentWidget());
    l->setBuddy(buddy);
    return l;
}

// A sheet of paper with lines of text on it, upright or on its side.
void drawSheet(QPainter& p, const QRectF& sheet, bool withMargins) {
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    const QRectF text = sheet.adjusted(sheet.width() * 0.15, sheet.height() * 0.12,
                                       -sheet.width() * 0.15, -sheet.height() * 0.12);
    if (withMargins) {
        p.setPen(QPen(QColor(0, 0, 160), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(text);
    }
    p.setPen(QPen(QColor(120, 120, 120), 2));
    for (qreal y = text.top() + 4; y < text.bottom() - 1; y += 5) {
        const qreal right =
            (int(y) % 3 == 0) ? text.right() - text.width() * 0.3 : text.right() - 2;
        p.drawLine(QPointF(text.left() + 2, y), QPointF(right, y));
    }
}

QPixmap sheetPicture(PrintOrientation o, bool withMargins) {
    QPixmap pm(72, 72);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const QRectF sheet =
        o == PrintOrientation::Portrait ? QRectF(17.5, 6.5, 38, 58) : QRectF(6.5, 16.5, 58, 38);
    drawSheet(p, sheet, withMargins);
    return pm;
}

} // namespace

TQRPrnDlg::TQRPrnDlg(QWidget* owner, PrintSettings& settings, PrintDevice& device)
    : QDialog(owner), m_settings(settings), m_device(device) {
    setObjectName(QStringLiteral("QRPrnDlg"));
    setWindowTitle(QStringLiteral("Setari pentru listarea rapoarte"));
    buildControls();

    m_guard = false;
    m_prev->setChecked(m_settings.preview);

    if (m_settings.fontName.isEmpty()) {
        m_font = QFont(defaultFixedFont());
        m_font.setPointSize(10);
        m_pitch = FontPitch::Fixed;
    } else {
        m_font = QFont(m_settings.fontName);
        m_font.setPointSize(qBound(1, m_settings.fontSize, 999));
        m_pitch = m_settings.fontPitch;
    }
    if (m_pitch == FontPitch::Fixed)
        m_font.setFixedPitch(true);
    refreshFontLabel();
    refreshPrinterLabel();

    m_device.setOrientation(m_settings.orientation);
    setOrientationChecked(m_settings.orientation);

    if (m_settings.paperSize >= 1 && m_settings.paperSize < PaperCustom)
        SetPrinterPaper(m_settings.paperSize, m_device);

    const PrintableArea a = MeasurePrintableArea(m_device);
    m_settings.minLeft = a.left;
    m_settings.minTop = a.top;
    m_settings.minRight = a.right;
    m_settings.minBottom = a.bottom;
    setMarginLimits(a);
    auto fit = [](int& margin, int min, int paper) {
        if (margin < min || margin > paper)
            margin = min;
    };
    fit(m_settings.marginLeft, a.left, a.paperWidth);
    fit(m_settings.marginTop, a.top, a.paperHeight);
    fit(m_settings.marginRight, a.right, a.paperWidth);
    fit(m_settings.marginBottom, a.bottom, a.paperHeight);

    m_left->setValue(m_settings.marginLeft);
    m_top->setValue(m_settings.marginTop);
    m_right->setValue(m_settings.marginRight);
    m_bottom->setValue(m_settings.marginBottom);

    m_tabs->setCurrentIndex(0);
}

TQRPrnDlg::~TQRPrnDlg() = default;

void TQRPrnDlg::buildControls() {
    auto* main = new QVBoxLayout(this);
    m_tabs = named(new QTabWidget(this), "PageControl");
    main->addWidget(m_tabs);

    // "Listare ": what to print and how many times. Every control has an Alt
    // key of its own; Alt+P is "Printeaza".
    auto* listTab = named(new QWidget, "TabListare");
    m_tabs->addTab(listTab, QStringLiteral("Listare "));
    m_rbAll = named(new QRadioButton(QStringLiteral("&Listeaza tot"), listTab), "RBAll");
    m_rbSel = named(new QRadioButton(QStringLiteral("Listeaza pa&rtial"), listTab), "RBSel");
    m_rbAll->setChecked(true);
    m_firstPage = spin(listTab, "FirstPageSpin", 1, 9999, 1);
    m_lastPage = spin(listTab, "LastPageSpin", 0, 9999, 1);
    m_firstPage->setEnabled(false);
    m_lastPage->setEnabled(false);
    m_copies = spin(listTab, "CopiesSpin", 1, 1000, 1);
    m_prev = named(new QCheckBox(QStringLiteral("&Afisare pe ecran"), listTab), "CBPrev");
    m_labFnt = named(new QLabel(listTab), "LabFnt");
    m_labPrn = named(new QLabel(listTab), "LabPrn");
    auto* listGrid = new QGridLayout(listTab);
    listGrid->addWidget(m_rbAll, 0, 0, 1, 2);
    listGrid->addWidget(m_rbSel, 1, 0, 1, 2);
    listGrid->addWidget(buddyLabel(QStringLiteral("Pri&ma pagina:"), m_firstPage), 2, 0);
    listGrid->addWidget(m_firstPage, 2, 1);
    listGrid->addWidget(buddyLabel(QStringLiteral("&Ultima pagina:"), m_lastPage), 3, 0);
    listGrid->addWidget(m_lastPage, 3, 1);
    listGrid->addWidget(buddyLabel(QStringLiteral("&Exemplare:"), m_copies), 4, 0);
    listGrid->addWidget(m_copies, 4, 1);
    listGrid->addWidget(m_prev, 5, 0, 1, 2);
    listGrid->addWidget(m_labFnt, 6, 0, 1, 3);
    listGrid->addWidget(m_labPrn, 7, 0, 1, 3);
    listGrid->setColumnStretch(2, 1);
    listGrid->setRowStretch(8, 1);

    // "Pagina": orientation and margins.
    m_pageTab = named(new QWidget, "TabPagina");
    m_tabs->addTab(m_pageTab, QStringLiteral("Pagina"));
    auto* orientBox = named(new QGroupBox(QStringLiteral("Orientare"), m_pageTab), "OrientBox");
    m_portrait = named(new QRadioButton(QStringLiteral("Por&tret"), orientBox), "CBPortrait");
    m_landscape = named(new QRadioButton(QStringLiteral("Peisa&j"), orientBox), "CBLandscape");
    m_orientImage = named(new QLabel(orientBox), "OrientImage");
    m_orientImage->setFixedSize(72, 72);
    auto* orientLay = new QGridLayout(orientBox);
    orientLay->addWidget(m_portrait, 0, 0);
    orientLay->addWidget(m_landscape, 1, 0);
    orientLay->addWidget(m_orientImage, 0, 1, 3, 1);
    orientLay->setRowStretch(2, 1);

    auto* marginBox =
        named(new QGroupBox(QStringLiteral("Margini de pagina"), m_pageTab), "MarginBox");
    m_top = spin(marginBox, "TopEdit", 0, 9999, 0);
    m_bottom = spin(marginBox, "BottomEdit", 0, 9999, 0);
    m_left = spin(marginBox, "LeftEdit", 0, 9999, 0);
    m_right = spin(marginBox, "RightEdit", 0, 9999, 0);
    m_marginsImage = named(new QLabel(marginBox), "MarginsImage");
    m_marginsImage->setFixedSize(72, 72);
    auto* marginLay = new QGridLayout(marginBox);
    const struct {
        const char* text;
        QSpinBox* edit;
    } rows[] = {{"Stînga:", m_left}, {"Dreapta:", m_right}, {"Sus:", m_top}, {"Jos:", m_bottom}};
    int r = 0;
    for (const auto& row : rows) {
        marginLay->addWidget(buddyLabel(QString::fromUtf8(row.text), row.edit), r, 0);
        marginLay->addWidget(row.edit, r, 1);
        marginLay->addWidget(new QLabel(QStringLiteral("mm"), marginBox), r, 2);
        ++r;
    }
    marginLay->addWidget(m_marginsImage, 0, 3, 4, 1);

    auto* pageLay = new QHBoxLayout(m_pageTab);
    pageLay->addWidget(orientBox);
    pageLay->addWidget(marginBox, 1);

    // The buttons below the tabs.
    m_prnBtn = named(new QPushButton(QStringLiteral("&Imprimanta"), this), "PrnBtn");
    m_fntBtn = named(new QPushButton(QStringLiteral("&Font"), this), "FntBtn");
    m_cancelBtn = named(new QPushButton(QStringLiteral("Inc&hide"), this), "CancelBtn");
    m_okBtn = named(new QPushButton(QStringLiteral("&Printeaza"), this), "OkBtn");
    setHint(m_cancelBtn, QStringLiteral("Renunt"));
    setHint(m_okBtn, QStringLiteral("Sunt de acord"));
    m_okBtn->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_prnBtn);
    buttons->addWidget(m_fntBtn);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelBtn);
    buttons->addWidget(m_okBtn);
    main->addLayout(buttons);

    connect(m_rbAll, &QRadioButton::clicked, this, [this] { RBClick(); });
    connect(m_rbSel, &QRadioButton::clicked, this, [this] { RBClick(); });
    connect(m_firstPage, &QSpinBox::valueChanged, this, [this] { FirstPageSpinChange(); });
    for (QSpinBox* e : {m_left, m_right, m_top, m_bottom})
        connect(e, &QSpinBox::valueChanged, this, [this, e] { MarginChange(e); });
    connect(m_portrait, &QRadioButton::toggled, this, [this] { OrientationClick(); });
    connect(m_prnBtn, &QPushButton::clicked, this, [this] { PrnBtnClick(); });
    connect(m_fntBtn, &QPushButton::clicked, this, [this] { FntBtnClick(); });
    connect(m_cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_okBtn, &QPushButton::clicked, this, [this] { OkBtnClick(); });
}

void TQRPrnDlg::RBClick() {
    const bool partial = m_rbSel->isChecked();
    m_firstPage->setEnabled(partial);
    m_lastPage->setEnabled(partial);
    if (partial)
        m_firstPage->setFocus();
}

void TQRPrnDlg::FirstPageSpinChange() {
    // The spin raises a last page below its new minimum by itself.
    m_lastPage->setMinimum(m_firstPage->value());
}

void TQRPrnDlg::MarginChange(QSpinBox* edit) {
    if (m_guard)
        return;
    m_guard = true;
    QSpinBox* opposite = edit == m_left    ? m_right
                         : edit == m_right ? m_left
                         : edit == m_top   ? m_bottom
                                           : m_top;
    if (edit->value() + opposite->value() > edit->maximum())
        edit->setValue(qMax(0, edit->maximum() - opposite->value()));
    m_guard = false;
}

void TQRPrnDlg::setOrientationChecked(PrintOrientation orientation) {
    m_orientation = orientation;
    const QSignalBlocker block(m_portrait);
    (orientation == PrintOrientation::Portrait ? m_portrait : m_landscape)->setChecked(true);
    m_orientImage->setPixmap(orientationPicture(orientation));
    m_marginsImage->setPixmap(marginsPicture(orientation));
}

void TQRPrnDlg::OrientationClick() {
    const PrintOrientation chosen =
        m_portrait->isChecked() ? PrintOrientation::Portrait : PrintOrientation::Landscape;
    if (chosen != m_orientation) {
        m_device.setOrientation(chosen);
        measure();
    }
    setOrientationChecked(chosen);
}

void TQRPrnDlg::setMarginLimits(const PrintableArea& a) {
    // New limits only: the spin boxes' own clamping is not a user's change.
    m_guard = true;
    m_left->setMaximum(a.paperWidth);
    m_right->setMaximum(a.paperWidth);
    m_top->setMaximum(a.paperHeight);
    m_bottom->setMaximum(a.paperHeight);
    m_guard = false;
}

void TQRPrnDlg::measure() {
    const PrintableArea a = MeasurePrintableArea(m_device);
    // New limits only; the margins keep their values where the limits allow.
    setMarginLimits(a);
}

void TQRPrnDlg::PrnBtnClick() {
    const PrintOrientation before = m_device.orientation();
    if (!m_device.setup(this))
        m_device.setOrientation(before);
    refreshPrinterLabel();
    measure();
    setOrientationChecked(m_device.orientation());
}

void TQRPrnDlg::FntBtnClick() {
    // A name like "Arial" may be served by a metric-compatible family; the
    // dialog shows that family rather than falling back to its first one.
    QFont shown = m_font;
    shown.setFamily(QFontInfo(m_font).family());
    QFontDialog dlg(shown, this);
    dlg.setObjectName(QStringLiteral("FntDlg"));
    dlg.setOption(QFontDialog::DontUseNativeDialog);
    // The size box takes only the sizes the reports can use.
    for (QLineEdit* e : dlg.findChildren<QLineEdit*>())
        if (auto* v = qobject_cast<const QIntValidator*>(e->validator()))
            const_cast<QIntValidator*>(v)->setRange(MinFontSize, MaxFontSize);
    if (dlg.exec() == QDialog::Accepted) {
        QFont f = dlg.selectedFont();
        f.setPointSize(qBound(MinFontSize, f.pointSize() > 0 ? f.pointSize() : 10, MaxFontSize));
        setDialogFont(f, QFontInfo(f).fixedPitch() ? FontPitch::Fixed : FontPitch::Variable);
    }
    refreshFontLabel();
}

void TQRPrnDlg::setDialogFont(const QFont& font, FontPitch pitch) {
    m_font = font;
    m_pitch = pitch;
    refreshFontLabel();
}

void TQRPrnDlg::refreshFontLabel() {
    m_labFnt->setText(m_font.family() + QStringLiteral("   ") +
                      QString::number(m_font.pointSize()));
}

void TQRPrnDlg::refreshPrinterLabel() {
    const QString name = m_device.printerName();
    m_labPrn->setText(name.isEmpty() ? QStringLiteral("(nicio imprimanta instalata)") : name);
}

void TQRPrnDlg::OkBtnClick() {
    m_device.setOrientation(m_orientation);
    measure();
    const PrintableArea a = MeasurePrintableArea(m_device);
    if (m_left->value() >= a.left && m_top->value() >= a.top && m_right->value() >= a.right &&
        m_bottom->value() >= a.bottom) {
        storeSettings();
        accept();
        return;
    }
    const PromptAnswer answer = Prompts::current().message(
        QApplication::applicationName(),
        QStringLiteral("Cel putin o margine este prea mica pentru a intra în zona imprimabila!\n"
                       "Doriti ajustarea marginilor respective?"),
        PromptIcon::Warning, PromptButtons::YesNo, PromptAnswer::Yes);
    if (answer != PromptAnswer::Yes) {
        storeSettings();
        accept();
        return;
    }
    m_guard = true;
    QSpinBox* focus = nullptr;
    const struct {
        QSpinBox* edit;
        int min;
    } sides[] = {{m_left, a.left}, {m_top, a.top}, {m_right, a.right}, {m_bottom, a.bottom}};
    for (const auto& s : sides)
        if (s.edit->value() < s.min) {
            s.edit->setValue(s.min);
            focus = s.edit;
        }
    if (m_left->value() + m_right->value() >= a.paperWidth) {
        m_right->setValue(a.right);
        m_left->setValue(a.left);
        focus = m_left;
    }
    if (m_top->value() + m_bottom->value() >= a.paperHeight) {
        m_top->setValue(a.top);
        m_bottom->setValue(a.bottom);
        focus = m_top;
    }
    m_guard = false;
    m_tabs->setCurrentWidget(m_pageTab);
    if (focus) {
        focus->setFocus();
        focus->selectAll();
    }
}

void TQRPrnDlg::storeSettings() {
    m_settings.fontName = m_font.family().left(PrintSettings::MaxFontNameLength);
    m_settings.fontSize = m_font.pointSize();
    m_settings.fontPitch = m_pitch;
    m_settings.preview = m_prev->isChecked();
    m_settings.copies = m_copies->value();
    if (m_rbAll->isChecked()) {
        m_settings.firstPage = 0;
        m_settings.lastPage = 0;
    } else {
        m_settings.firstPage = m_firstPage->value();
        m_settings.lastPage = m_lastPage->value();
    }
    m_settings.paperSize = GetPrinterPaper(m_device);
    m_settings.orientation =
        m_portrait->isChecked() ? PrintOrientation::Portrait : PrintOrientation::Landscape;
    m_settings.marginLeft = m_left->value();
    m_settings.marginTop = m_top->value();
    m_settings.marginRight = m_right->value();
    m_settings.marginBottom = m_bottom->value();
}

void TQRPrnDlg::done(int result) {
    if (result != QDialog::Accepted)
        m_device.setOrientation(m_settings.orientation);
    QDialog::done(result);
}

QString TQRPrnDlg::defaultFixedFont() {
    // Measured at a fixed resolution so that the choice does not depend on
    // the screen.
    constexpr int dpi = 720;
    QImage ref(1, 1, QImage::Format_RGB32);
    ref.setDotsPerMeterX(qRound(dpi / 0.0254));
    ref.setDotsPerMeterY(qRound(dpi / 0.0254));
    const qreal target = dpi / 17.0;
    QString best;
    qreal bestDistance = 0;
    for (const QString& family : QFontDatabase::families()) {
        if (!QFontDatabase::isFixedPitch(family) || QFontDatabase::isPrivateFamily(family))
            continue;
        QFont f(family);
        f.setPointSize(10);
        const qreal d = qAbs(QFontMetricsF(f, &ref).averageCharWidth() - target);
        if (best.isEmpty() || d < bestDistance) {
            best = family;
            bestDistance = d;
        }
    }
    if (best.isEmpty())
        best = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    return best.left(PrintSettings::MaxFontNameLength);
}

QPixmap TQRPrnDlg::orientationPicture(PrintOrientation orientation) {
    return sheetPicture(orientation, false);
}

QPixmap TQRPrnDlg::marginsPicture(PrintOrientation orientation) {
    return sheetPicture(orientation, true);
}

bool AskPrintSetup(QWidget* owner) {
    TQRPrnDlg dlg(owner);
    return dlg.exec() == QDialog::Accepted;
}
