#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <functional>

// Closes every modal box the code under test opens, and records its title and text, so
// a test never blocks on QMessageBox::exec().
class ModalCatcher : public QObject
{
public:
    explicit ModalCatcher(QObject *parent = nullptr) : QObject(parent)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this]() { closeModals(); });
        m_timer.start();
    }

    struct Box
    {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };

    // Returning true keeps a box open for now; it is asked again on the next tick.
    void setHold(std::function<bool(QMessageBox *)> hold) { m_hold = std::move(hold); }

    QList<Box> boxes() const { return m_boxes; }
    int count() const { return m_boxes.size(); }
    void clear() { m_boxes.clear(); }
    bool sawText(const QString &text) const
    {
        for (const Box &box : m_boxes)
            if (box.text == text)
                return true;
        return false;
    }

private:
    void closeModals()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (m_hold && m_hold(box))
                return;
            m_boxes.append({box->windowTitle(), box->text(), box->icon()});
            box->done(QMessageBox::Ok);
        } else {
            modal->close();
        }
    }

    QTimer m_timer;
    QList<Box> m_boxes;
    std::function<bool(QMessageBox *)> m_hold;
};
