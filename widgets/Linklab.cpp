#include "Linklab.h"

#include "Guard.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace {

TLinkLabel::ShellOpenFunction& shellOpen() {
    static TLinkLabel::ShellOpenFunction open;
    return open;
}

} // namespace

TLinkLabel::TLinkLabel(QWidget* parent) : QWidget(parent) {
    m_shadowColor = QApplication::palette().color(QPalette::Light);
    setCursor(Qt::PointingHandCursor);
    resize(65, 17);
}

TLinkLabel::~TLinkLabel() = default;

QString TLinkLabel::prefix(TURLType type) {
    switch (type) {
    case utFile:
        return QStringLiteral("file://");
    case utFtp:
        return QStringLiteral("ftp://");
    case utGopher:
        return QStringLiteral("gopher://");
    case utHttp:
        return QStringLiteral("http://");
    case utHttps:
        return QStringLiteral("https://");
    case utMailto:
        return QStringLiteral("mailto:");
    case utNews:
        return QStringLiteral("news:");
    case utTelnet:
        return QStringLiteral("telnet:");
    case utWais:
        return QStringLiteral("wais:");
    }
    return {};
}

TLinkLabel::ShellOpenFunction TLinkLabel::setShellOpen(ShellOpenFunction open) {
    ShellOpenFunction previous = std::move(shellOpen());
    shellOpen() = std::move(open);
    return previous;
}

bool TLinkLabel::ShellOpen(const QString& address) {
    if (shellOpen())
        return shellOpen()(address);
    return QDesktopServices::openUrl(QUrl(address));
}

QString TLinkLabel::address() const {
    const QString a = m_url.isEmpty() ? m_caption : m_url;
    // The prefix goes in front as it is: an address that already carries a
    // scheme gets a second one.
    return m_urlTypeAdd ? prefix(m_urlType) + a : a;
}

bool TLinkLabel::OpenURL() {
    if ((m_caption.isEmpty() && m_url.isEmpty()) || !m_urlEnabled)
        return false;
    return ShellOpen(address());
}

void TLinkLabel::Click() {
    if (onClick)
        onClick();
    OpenURL();
    update();
}

// ---------------------------------------------------------------- properties

void TLinkLabel::setCaption(const QString& caption) {
    if (caption == m_caption)
        return;
    m_caption = caption;
    updateShortcut();
    adjustBounds();
    update();
}

void TLinkLabel::setShadowColor(const QColor& c) {
    m_shadowColor = c;
    update();
}

void TLinkLabel::setShadowSize(int pixels) {
    m_shadowSize = qBound(0, pixels, 255);
    adjustBounds();
    update();
}

void TLinkLabel::setShadowPos(TShadowPosition pos) {
    m_shadowPos = pos;
    update();
}

void TLinkLabel::setAlignment(Qt::Alignment a) {
    m_alignment = a & Qt::AlignHorizontal_Mask;
    update();
}

void TLinkLabel::setTextLayout(TTextLayout layout) {
    m_layout = layout;
    update();
}

void TLinkLabel::setAutoSize(bool on) {
    m_autoSize = on;
    adjustBounds();
}

void TLinkLabel::setWordWrap(bool on) {
    m_wordWrap = on;
    adjustBounds();
    update();
}

void TLinkLabel::setShowAccelChar(bool on) {
    m_showAccelChar = on;
    updateShortcut();
    update();
}

void TLinkLabel::setTransparent(bool on) {
    m_transparent = on;
    update();
}

void TLinkLabel::setFocusControl(QWidget* control) {
    m_focusControl = control; // a QPointer: forgotten when the control dies
    updateShortcut();
}

QColor TLinkLabel::color() const {
    return palette().color(QPalette::Window);
}

void TLinkLabel::setColor(const QColor& c) {
    QPalette p = palette();
    p.setColor(QPalette::Window, c);
    setPalette(p);
}

QColor TLinkLabel::fontColor() const {
    return palette().color(QPalette::WindowText);
}

void TLinkLabel::setFontColor(const QColor& c) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, c);
    setPalette(p);
}

// ---------------------------------------------------------------- size

int TLinkLabel::textFlags() const {
    int flags = int(m_alignment) | Qt::AlignTop | Qt::TextExpandTabs;
    if (m_wordWrap)
        flags |= Qt::TextWordWrap;
    if (m_showAccelChar)
        flags |= Qt::TextShowMnemonic;
    return flags;
}

// The text's extent, without the shadow and the side margins.
QSize TLinkLabel::textSize() const {
    QString text = m_caption;
    if (text.isEmpty() || (m_showAccelChar && text == QLatin1String("&")))
        text = QStringLiteral(" ");
    const int width = m_wordWrap ? qMax(1, this->width() - 2 - m_shadowSize) : QWIDGETSIZE_MAX;
    return fontMetrics()
        .boundingRect(QRect(0, 0, width, QWIDGETSIZE_MAX), textFlags(), text)
        .size();
}

QSize TLinkLabel::sizeHint() const {
    const QSize t = textSize();
    return {t.width() + m_shadowSize + 2, t.height() + m_shadowSize};
}

void TLinkLabel::adjustBounds() {
    if (!m_autoSize)
        return;
    const QSize s = sizeHint();
    const int right = x() + width();
    setGeometry(m_alignment & Qt::AlignRight ? right - s.width() : x(), y(), s.width(), s.height());
    updateGeometry();
}

// ---------------------------------------------------------------- painting

void TLinkLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!m_transparent)
        p.fillRect(rect(), color());

    QRect area = rect().adjusted(1, 0, -1, 0);
    if (m_layout != tlTop) {
        const int h = fontMetrics().boundingRect(area, textFlags(), m_caption).height();
        const int free = area.height() - h;
        area.translate(0, m_layout == tlCenter ? free / 2 : free);
    }

    QColor textColor = fontColor();
    QColor shadow = m_shadowColor;
    int size = m_shadowSize;
    TShadowPosition pos = m_shadowPos;
    if (!isEnabled()) {
        textColor = palette().color(QPalette::Disabled, QPalette::WindowText);
        shadow = palette().color(QPalette::Light);
        if (size == 0) {
            size = 1;
            pos = spRightBottom;
        }
    }

    QPoint textShift, shadowShift;
    switch (pos) {
    case spLeftTop:
        textShift = {size, size};
        break;
    case spLeftBottom:
        textShift = {size, 0};
        shadowShift = {0, size};
        break;
    case spRightBottom:
        shadowShift = {size, size};
        break;
    case spRightTop:
        textShift = {0, size};
        shadowShift = {size, 0};
        break;
    }
    p.setPen(shadow);
    p.drawText(area.translated(shadowShift), textFlags(), m_caption);
    p.setPen(textColor);
    p.drawText(area.translated(textShift), textFlags(), m_caption);
}

// ---------------------------------------------------------------- events

bool TLinkLabel::event(QEvent* e) {
    if (e->type() == QEvent::Shortcut) {
        QWidget* target = m_focusControl;
        if (target && isEnabled() && target->isEnabled() && target->isVisible() &&
            target->focusPolicy() != Qt::NoFocus)
            target->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
    return QWidget::event(e);
}

void TLinkLabel::changeEvent(QEvent* e) {
    if (e->type() == QEvent::FontChange)
        adjustBounds();
    if (e->type() == QEvent::EnabledChange)
        updateShortcut();
    QWidget::changeEvent(e);
}

void TLinkLabel::enterEvent(QEnterEvent* e) {
    // Kept once: a second enter without a leave must not keep the link colour.
    if (!m_hovered) {
        m_hovered = true;
        m_savedFontColor = fontColor();
        setFontColor(m_linkColor);
    }
    QWidget::enterEvent(e);
}

void TLinkLabel::leaveEvent(QEvent* e) {
    if (m_hovered) {
        m_hovered = false;
        setFontColor(m_savedFontColor);
    }
    QWidget::leaveEvent(e);
}

void TLinkLabel::mousePressEvent(QMouseEvent* e) {
    m_pressed = e->button() == Qt::LeftButton;
    QWidget::mousePressEvent(e);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* e) {
    const bool click =
        m_pressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    m_pressed = false;
    if (click)
        guarded([this] { Click(); });
    QWidget::mouseReleaseEvent(e);
}

void TLinkLabel::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && onDblClick)
        guarded([this] { onDblClick(); });
    QWidget::mouseDoubleClickEvent(e);
}

void TLinkLabel::updateShortcut() {
    if (m_shortcutId) {
        releaseShortcut(m_shortcutId);
        m_shortcutId = 0;
    }
    if (!m_focusControl || !m_showAccelChar || !isEnabled())
        return;
    const QKeySequence key = QKeySequence::mnemonic(m_caption);
    if (!key.isEmpty())
        m_shortcutId = grabShortcut(key);
}
