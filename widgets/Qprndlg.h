#pragma once

#include "PrintSettings.h"

#include <QDialog>
#include <QFont>

class QCheckBox;
class QFontDialog;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

// The print setup asked before every report: font, preview or print,
// copies, page range, orientation and margins in millimetres, and the
// printer setup. It works on the shared print settings and on the current
// print device.
class TQRPrnDlg : public QDialog {
    Q_OBJECT
public:
    // Prepares the dialog from the settings (the steps before it shows).
    explicit TQRPrnDlg(QWidget* owner = nullptr, PrintSettings& settings = PrintSettings::current(),
                       PrintDevice& device = PrintDevice::current());
    ~TQRPrnDlg() override;

    // The handlers of the controls.
    void RBClick();
    void FirstPageSpinChange();
    void MarginChange(QSpinBox* edit);
    void OrientationClick();
    void PrnBtnClick();
    void FntBtnClick();
    void OkBtnClick();

    PrintOrientation dialogOrientation() const { return m_orientation; }
    QFont dialogFont() const { return m_font; }
    FontPitch dialogPitch() const { return m_pitch; }
    // Replaces what the font dialog would choose (tests, no window shown).
    void setDialogFont(const QFont& font, FontPitch pitch);

    // The font chosen when the settings name none: a fixed-pitch font whose
    // average character at 10 points is nearest to 1/17 inch wide.
    static QString defaultFixedFont();
    static QPixmap orientationPicture(PrintOrientation orientation);
    static QPixmap marginsPicture(PrintOrientation orientation);

    void done(int result) override;

private:
    void buildControls();
    void setOrientationChecked(PrintOrientation orientation);
    void measure();
    void setMarginLimits(const PrintableArea& a);
    void refreshFontLabel();
    void refreshPrinterLabel();
    void storeSettings();

    PrintSettings& m_settings;
    PrintDevice& m_device;
    PrintOrientation m_orientation = PrintOrientation::Portrait;
    bool m_guard = false;
    QFont m_font;
    FontPitch m_pitch = FontPitch::Default;

    QTabWidget* m_tabs = nullptr;
    QWidget* m_pageTab = nullptr;
    QRadioButton* m_rbAll = nullptr;
    QRadioButton* m_rbSel = nullptr;
    QSpinBox* m_firstPage = nullptr;
    QSpinBox* m_lastPage = nullptr;
    QSpinBox* m_copies = nullptr;
    QCheckBox* m_prev = nullptr;
    QLabel* m_labFnt = nullptr;
    QLabel* m_labPrn = nullptr;
    QRadioButton* m_portrait = nullptr;
    QRadioButton* m_landscape = nullptr;
    QLabel* m_orientImage = nullptr;
    QLabel* m_marginsImage = nullptr;
    QSpinBox* m_left = nullptr;
    QSpinBox* m_right = nullptr;
    QSpinBox* m_top = nullptr;
    QSpinBox* m_bottom = nullptr;
    QPushButton* m_prnBtn = nullptr;
    QPushButton* m_fntBtn = nullptr;
    QPushButton* m_cancelBtn = nullptr;
    QPushButton* m_okBtn = nullptr;
};

// Shows the print setup modally; true when the user confirmed with
// "Printeaza". Reads and updates the shared print settings.
bool AskPrintSetup(QWidget* owner);
