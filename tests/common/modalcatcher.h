#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <functional>

// Closes every modal box the code under test opens, and records its title and text, so
// a test never blocks on QMessageBox::exec(). A box is closed with OK unless an answer
// given with answer() matches it.
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

    // From now on a box whose text is text is answered with the standard button; a
    // question (QMessageBox::Question) with buttons of its own is answered by the button
    // whose text is buttonText (answerQuestion). The latest answer given for a text wins.
    void answer(const QString &text, QMessageBox::StandardButton button)
    {
        m_answers.prepend({text, button, QString()});
    }
    void answerQuestion(const QString &buttonText)
    {
        m_answers.prepend({QString(), QMessageBox::NoButton, buttonText});
    }
    void clearAnswers() { m_answers.clear(); }

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
    // The texts of the boxes of one kind seen so far, oldest first.
    QStringList textsOf(QMessageBox::Icon icon) const
    {
        QStringList texts;
        for (const Box &box : m_boxes)
            if (box.icon == icon)
                texts << box.text;
        return texts;
    }
    int timesSeen(const QString &text) const
    {
        int n = 0;
        for (const Box &box : m_boxes)
            n += box.text == text;
        return n;
    }

private:
    struct Answer
    {
        QString text;
        QMessageBox::StandardButton button;
        QString buttonText;
    };

    // The button an answer picks in this box, if it matches the box.
    static QAbstractButton *chosen(const Answer &a, QMessageBox *box)
    {
        if (!a.buttonText.isEmpty()) {
            if (box->icon() != QMessageBox::Question)
                return nullptr;
            const QList<QAbstractButton *> buttons = box->buttons();
            for (QAbstractButton *button : buttons)
                if (button->text() == a.buttonText)
                    return button;
            return nullptr;
        }
        return box->text() == a.text ? box->button(a.button) : nullptr;
    }

    void closeModals()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            modal->close();
            return;
        }
        if (m_hold && m_hold(box))
            return;
        m_boxes.append({box->windowTitle(), box->text(), box->icon()});
        for (const Answer &a : qAsConst(m_answers)) {
            if (QAbstractButton *button = chosen(a, box)) {
                button->click();
                return;
            }
        }
        box->done(QMessageBox::Ok);
    }

    QTimer m_timer;
    QList<Box> m_boxes;
    QList<Answer> m_answers;
    std::function<bool(QMessageBox *)> m_hold;
};
