#include "XInPlaceEdit.h"

#include "DBGNorm.h"

#include <QAction>
#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QScrollBar>

namespace {

QIcon dropDownIcon() {
    QPixmap pm(12, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    const QPointF tri[3] = {{2.5, 4.0}, {9.5, 4.0}, {6.0, 8.0}};
    p.drawPolygon(tri, 3);
    return QIcon(pm);
}

} // namespace

TXInPlaceEdit::TXInPlaceEdit(TDBGridNormal* grid) : QLineEdit(grid->viewport()), m_grid(grid) {
    setObjectName(QStringLiteral("InplaceEditor"));
    setFrame(false);
    // Reached through the grid: Tab moves between cells, not into the editor.
    setFocusPolicy(Qt::ClickFocus);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    m_dropAction = addAction(dropDownIcon(), QLineEdit::TrailingPosition);
    m_dropAction->setVisible(false);
    connect(m_dropAction, &QAction::triggered, this, [this] {
        if (isListOpen())
            closeList();
        else
            openList();
    });
    connect(this, &QLineEdit::textEdited, this, [this] { userEdited(); });

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("PickList"));
    m_list->setWindowFlags(Qt::Popup);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setUniformItemSizes(true);
    m_list->installEventFilter(this);
    connect(m_list, &QListWidget::itemClicked, this, [this] { takeFromList(); });
}

void TXInPlaceEdit::load(const Cell& cell, bool enteringCell) {
    closeList();
    m_dirty = false;
    setReadOnly(cell.readOnly);
    setAlignment(cell.alignment);
    setMaxLength(std::max<int>(cell.maxLength, int(cell.text.size())));
    m_pickList = cell.pickList;
    m_dropDownRows = cell.dropDownRows;
    m_dropAction->setVisible(hasPickList() && !cell.readOnly);
    if (text() != cell.text)
        setText(cell.text);
    setModified(false);
    if (enteringCell)
        placeCaret();
}

void TXInPlaceEdit::placeCaret() {
    if (m_noEditSelection) {
        deselect();
        setCursorPosition(inputMask().isEmpty() ? int(text().size()) : 0);
    } else {
        selectAll();
    }
}

void TXInPlaceEdit::userEdited() {
    if (m_dirty)
        return;
    m_dirty = true;
    m_grid->editorEdited();
}

// ---------------------------------------------------------------- pick list

bool TXInPlaceEdit::isListOpen() const {
    return m_list->isVisible();
}

void TXInPlaceEdit::openList() {
    if (!hasPickList() || isReadOnly() || isListOpen())
        return;
    m_list->clear();
    m_list->addItems(m_pickList);
    int at = 0;
    for (int i = 0; i < m_pickList.size(); ++i)
        if (m_pickList.at(i).compare(text(), Qt::CaseInsensitive) == 0) {
            at = i;
            break;
        }
    m_list->setCurrentRow(at);
    const int rows = std::min<int>(m_dropDownRows, int(m_pickList.size()));
    const int frame = 2 * m_list->frameWidth();
    const int rowHeight = std::max(m_list->sizeHintForRow(0), fontMetrics().height());
    int width = std::max(this->width(), m_list->sizeHintForColumn(0) + frame + 4);
    if (m_pickList.size() > rows)
        width += m_list->verticalScrollBar()->sizeHint().width();
    m_list->resize(width, rows * rowHeight + frame);
    m_list->move(mapToGlobal(QPoint(0, height())));
    m_list->show();
    m_list->setFocus(Qt::PopupFocusReason);
}

void TXInPlaceEdit::closeList() {
    if (isListOpen())
        m_list->hide();
}

void TXInPlaceEdit::takeFromList() {
    const QListWidgetItem* item = m_list->currentItem();
    closeList();
    if (!item || isReadOnly())
        return;
    const QString value = item->text();
    if (value != text()) {
        setText(value);
        userEdited();
    }
    deselect();
    setCursorPosition(int(text().size()));
}

bool TXInPlaceEdit::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = k->modifiers() & ~Qt::KeypadModifier;
        switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Takes the value and closes the list; the cell stays current.
            takeFromList();
            return true;
        case Qt::Key_Escape:
        case Qt::Key_F4:
            closeList();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (mods & Qt::AltModifier) {
                closeList();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QLineEdit::eventFilter(watched, event);
}

// ---------------------------------------------------------------- keys

bool TXInPlaceEdit::event(QEvent* event) {
    // Tab would leave for the next control before reaching keyPressEvent;
    // the grid moves between cells with it, or leaves itself.
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
            !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            if (!m_grid->gridKeyDown(k->key(), k->modifiers()))
                m_grid->leaveByTab(k->key() == Qt::Key_Backtab);
            k->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void TXInPlaceEdit::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const bool ctrl = mods.testFlag(Qt::ControlModifier);
    const qsizetype length = text().size();
    const bool whole = hasSelectedText() && selectedText().size() == length;
    const bool atStart = (!hasSelectedText() && cursorPosition() == 0) || whole;
    const bool atEnd = (!hasSelectedText() && cursorPosition() == length) || whole;

    bool toGrid = false;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        event->accept();
        if (mods != Qt::NoModifier)
            return;
        // With the whole text selected, Right reaches the grid wherever the
        // caret was: Enter always leaves the cell.
        const QModelIndex cell = m_grid->currentIndex();
        selectAll();
        m_grid->gridKeyDown(Qt::Key_Right, Qt::NoModifier);
        if (cell == m_grid->currentIndex() && !isHidden())
            placeCaret(); // the grid could not move on (a refused value)
        return;
    }
    case Qt::Key_Delete:
        toGrid = mods == Qt::ControlModifier;
        break;
    case Qt::Key_Left:
    case Qt::Key_Home:
        toGrid = ctrl || atStart;
        break;
    case Qt::Key_Right:
    case Qt::Key_End:
        toGrid = ctrl || atEnd;
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (mods.testFlag(Qt::AltModifier) && hasPickList()) {
            if (key == Qt::Key_Down)
                openList();
            else
                closeList();
            event->accept();
            return;
        }
        toGrid = true;
        break;
    case Qt::Key_F4:
        if (hasPickList()) {
            openList();
            event->accept();
            return;
        }
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Escape:
    case Qt::Key_Insert:
        toGrid = true;
        break;
    default:
        break;
    }
    if (toGrid && m_grid->gridKeyDown(key, event->modifiers())) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TXInPlaceEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    // The current cell always shows where the clerk is: a frame in the
    // selection colour, over a tint of it where the cell cannot be typed in
    // (so that keys which do nothing there are not a mystery).
    QPainter p(this);
    if (isReadOnly()) {
        QColor tint = palette().color(QPalette::Highlight);
        tint.setAlpha(50);
        p.fillRect(rect(), tint);
    }
    p.setPen(QPen(palette().color(QPalette::Highlight), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

void TXInPlaceEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // Coming back from the pick list keeps the caret where taking the value
    // put it.
    if (event->reason() != Qt::PopupFocusReason)
        placeCaret();
}
