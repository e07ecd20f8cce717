#pragma once

#include <QWidget>

#include <vector>

class QIcon;
class QLabel;
class QSizeGrip;

namespace qm {

// A status bar of sunken parts with fixed right edges, like the platform's
// own: the edges are set once and do not follow the bar's width, so a part
// may end before or past the bar's right end. An edge of -1 runs to the end.
class CStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit CStatusBar(QWidget* parent);

    void SetMinHeight(int pixels);
    void SetParts(const std::vector<int>& rightEdges);
    void SetText(int part, const QString& text);
    void SetIcon(int part, const QIcon& icon);

    int GetPartCount() const { return static_cast<int>(m_parts.size()); }
    QString GetText(int part) const;
    bool HasIcon(int part) const;
    QRect GetPartRect(int part) const;

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Part {
        QWidget* frame = nullptr;
        QLabel* icon = nullptr;
        QLabel* text = nullptr;
        int rightEdge = -1;
    };

    void PlaceParts();
    bool IsPart(int part) const { return part >= 0 && part < GetPartCount(); }

    std::vector<Part> m_parts;
    QSizeGrip* m_pGrip;
    int m_nMinHeight = 0;
};

} // namespace qm
