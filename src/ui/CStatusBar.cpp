#include "ui/CStatusBar.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QSizeGrip>

#include <algorithm>

namespace qm {

namespace {
constexpr int kPartGap = 2;
constexpr int kIconSize = 16;
}

CStatusBar::CStatusBar(QWidget* parent)
    : QWidget(parent), m_pGrip(new QSizeGrip(this))
{
}

void CStatusBar::SetMinHeight(int pixels)
{
    m_nMinHeight = pixels;
    updateGeometry();
}

void CStatusBar::SetParts(const std::vector<int>& rightEdges)
{
    for (Part& part : m_parts)
        delete part.frame;
    m_parts.clear();

    for (const int edge : rightEdges) {
        Part part;
        auto* frame = new QFrame(this);
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        auto* layout = new QHBoxLayout(frame);
        layout->setContentsMargins(3, 0, 3, 0);
        layout->setSpacing(4);
        part.icon = new QLabel(frame);
        part.icon->setFixedSize(kIconSize, kIconSize);
        part.icon->hide();
        part.text = new QLabel(frame);
        part.text->setTextFormat(Qt::PlainText);
        layout->addWidget(part.icon);
        layout->addWidget(part.text, 1);
        part.frame = frame;
        part.rightEdge = edge;
        frame->show();
        m_parts.push_back(part);
    }
    PlaceParts();
}

void CStatusBar::SetText(int part, const QString& text)
{
    if (IsPart(part))
        m_parts[static_cast<std::size_t>(part)].text->setText(text);
}

void CStatusBar::SetIcon(int part, const QIcon& icon)
{
    if (!IsPart(part))
        return;
    QLabel* label = m_parts[static_cast<std::size_t>(part)].icon;
    label->setPixmap(icon.pixmap(kIconSize, kIconSize));
    label->setVisible(!icon.isNull());
}

QString CStatusBar::GetText(int part) const
{
    return IsPart(part) ? m_parts[static_cast<std::size_t>(part)].text->text() : QString();
}

bool CStatusBar::HasIcon(int part) const
{
    return IsPart(part) && !m_parts[static_cast<std::size_t>(part)].icon->isHidden();
}

QRect CStatusBar::GetPartRect(int part) const
{
    return IsPart(part) ? m_parts[static_cast<std::size_t>(part)].frame->geometry() : QRect();
}

QSize CStatusBar::sizeHint() const
{
    const int textHeight = std::max(fontMetrics().height(), kIconSize) + 6;
    return {200, std::max(m_nMinHeight, textHeight)};
}

void CStatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceParts();
}

void CStatusBar::PlaceParts()
{
    const QSize grip = m_pGrip->sizeHint();
    m_pGrip->setGeometry(width() - grip.width(), height() - grip.height(), grip.width(), grip.height());

    int left = 0;
    for (const Part& part : m_parts) {
        const int right = part.rightEdge < 0 ? width() - grip.width() : part.rightEdge;
        part.frame->setGeometry(left, 1, std::max(0, right - left - kPartGap), height() - 1);
        left = right;
    }
    m_pGrip->raise();
}

} // namespace qm
