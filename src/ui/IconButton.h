#pragma once

#include <QToolButton>

#include <functional>

class QBoxLayout;

namespace scrivola {

// A flat button with a symbol (and/or a short title) and a tooltip. Hovering shows the theme's
// hover background; an active button (a chosen mode, an open sidebar) is drawn in the accent
// colour; a button that has nothing to do (dimmed, or disabled) is drawn at 35 % opacity.
// It never takes the keyboard focus, so using it leaves a text box being typed open.
class IconButton : public QToolButton {
    Q_OBJECT
public:
    static constexpr double kDimmedOpacity = 0.35;

    explicit IconButton(const QString& symbol, const QString& toolTip = {}, QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    void setSymbol(const QString& symbol);
    bool isActive() const { return active_; }
    void setActive(bool active);
    // Drawn faint but still usable (a Save with nothing to save).
    bool isDimmed() const { return dimmed_; }
    void setDimmed(bool dimmed);
    // The opacity the button is drawn with.
    double drawnOpacity() const { return dimmed_ || !isEnabled() ? kDimmedOpacity : 1.0; }
    // A colour swatch drawn in place of the symbol (the highlight and text colour controls).
    void setSwatch(const QColor& color);
    QColor swatch() const { return swatch_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString symbol_;
    QColor swatch_;
    bool active_ = false;
    bool dimmed_ = false;
    bool hovered_ = false;
};

// A button named `name` (for tests and lookups) added to `layout` of `owner`; a click runs `action`.
IconButton* addIconButton(QWidget* owner, QBoxLayout* layout, const QString& name, const QString& symbol,
                          const QString& toolTip, const std::function<void()>& action);

}  // namespace scrivola
