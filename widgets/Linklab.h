#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <functional>

// A text label that behaves like a hyperlink: it takes the link colour under
// the mouse, shows a pointing hand and, when clicked, hands its address to
// the system's "open". The text is drawn with an offset shadow.
class TLinkLabel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QString Url READ url WRITE setUrl)
    Q_PROPERTY(TURLType URLType READ urlType WRITE setUrlType)
    Q_PROPERTY(bool URLTypeAdd READ urlTypeAdd WRITE setUrlTypeAdd)
    Q_PROPERTY(bool URLEnabled READ urlEnabled WRITE setUrlEnabled)
    Q_PROPERTY(QColor LinkColor READ linkColor WRITE setLinkColor)
    Q_PROPERTY(QColor ShadowColor READ shadowColor WRITE setShadowColor)
    Q_PROPERTY(int ShadowSize READ shadowSize WRITE setShadowSize)
    Q_PROPERTY(TShadowPosition ShadowPos READ shadowPos WRITE setShadowPos)
    Q_PROPERTY(Qt::Alignment Alignment READ alignment WRITE setAlignment)
    Q_PROPERTY(TTextLayout Layout READ textLayout WRITE setTextLayout)
    Q_PROPERTY(bool AutoSize READ autoSize WRITE setAutoSize)
    Q_PROPERTY(bool WordWrap READ wordWrap WRITE setWordWrap)
    Q_PROPERTY(bool ShowAccelChar READ showAccelChar WRITE setShowAccelChar)
    Q_PROPERTY(bool Transparent READ transparent WRITE setTransparent)
    Q_PROPERTY(QColor Color READ color WRITE setColor)

public:
    enum TURLType { utFile, utFtp, utGopher, utHttp, utHttps, utMailto, utNews, utTelnet, utWais };
    Q_ENUM(TURLType)
    enum TShadowPosition { spLeftTop, spLeftBottom, spRightBottom, spRightTop };
    Q_ENUM(TShadowPosition)
    enum TTextLayout { tlTop, tlCenter, tlBottom };
    Q_ENUM(TTextLayout)

    // The system's "open" of an address; true when it was accepted.
    using ShellOpenFunction = std::function<bool(const QString& address)>;

    explicit TLinkLabel(QWidget* parent = nullptr);
    ~TLinkLabel() override;

    static QString prefix(TURLType type);

    // Replaces the system's "open" (tests install a recorder); an empty
    // function restores the desktop's. Returns the one in force before.
    static ShellOpenFunction setShellOpen(ShellOpenFunction open);
    static bool ShellOpen(const QString& address);

    // The address that OpenURL would open: Url, or Caption when Url is
    // empty, with the scheme prefix when URLTypeAdd is on.
    QString address() const;
    // Opens the address; false when there is none, URLEnabled is off or
    // the system refused it. Nothing is shown on failure.
    bool OpenURL();
    // What a mouse click does: the click hook, then OpenURL, then a repaint.
    void Click();

    std::function<void()> onClick;
    std::function<void()> onDblClick;

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    QString url() const { return m_url; }
    void setUrl(const QString& url) { m_url = url; }
    TURLType urlType() const { return m_urlType; }
    void setUrlType(TURLType type) { m_urlType = type; }
    bool urlTypeAdd() const { return m_urlTypeAdd; }
    void setUrlTypeAdd(bool on) { m_urlTypeAdd = on; }
    bool urlEnabled() const { return m_urlEnabled; }
    void setUrlEnabled(bool on) { m_urlEnabled = on; }
    QColor linkColor() const { return m_linkColor; }
    void setLinkColor(const QColor& c) { m_linkColor = c; }
    QColor shadowColor() const { return m_shadowColor; }
    void setShadowColor(const QColor& c);
    int shadowSize() const { return m_shadowSize; }
    void setShadowSize(int pixels);
    TShadowPosition shadowPos() const { return m_shadowPos; }
    void setShadowPos(TShadowPosition pos);
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment a);
    TTextLayout textLayout() const { return m_layout; }
    void setTextLayout(TTextLayout layout);
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);
    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on);
    bool showAccelChar() const { return m_showAccelChar; }
    void setShowAccelChar(bool on);
    bool transparent() const { return m_transparent; }
    void setTransparent(bool on);
    QWidget* focusControl() const { return m_focusControl; }
    void setFocusControl(QWidget* control);
    // The background when not transparent.
    QColor color() const;
    void setColor(const QColor& c);
    // The font colour (the link colour while the mouse is over the label).
    QColor fontColor() const;
    void setFontColor(const QColor& c);

    QSize sizeHint() const override;

protected:
    bool event(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    int textFlags() const;
    QSize textSize() const;
    void adjustBounds();
    void updateShortcut();

    QString m_caption;
    QString m_url;
    TURLType m_urlType = utMailto;
    bool m_urlTypeAdd = true;
    bool m_urlEnabled = true;
    QColor m_linkColor = QColor(0, 0, 255);
    QColor m_shadowColor;
    int m_shadowSize = 1;
    TShadowPosition m_shadowPos = spLeftTop;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    TTextLayout m_layout = tlTop;
    bool m_autoSize = true;
    bool m_wordWrap = false;
    bool m_showAccelChar = true;
    bool m_transparent = true;
    QPointer<QWidget> m_focusControl;
    int m_shortcutId = 0;
    bool m_hovered = false;
    QColor m_savedFontColor;
    bool m_pressed = false;
};
