#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;
class QLineEdit;

// The frame "Forme du nom final de fichier": name form, name text, start number,
// numbering style and the example of the first file's new name.
class RenamePanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit RenamePanel(QWidget* parent = nullptr);

    QComboBox* nameForms() const { return m_combo11; }
    QLineEdit* nameText() const { return m_text1; }
    QLineEdit* startNumber() const { return m_text2; }
    QComboBox* numberingStyles() const { return m_combo2; }
    QLabel* example() const { return m_label12; }

    // Shows beside the name text what is wrong with the name it gives: the field turns red and
    // its tooltip says why. Empty text clears it; so does any change of the text.
    void showNameProblem(const QString& text);
    const QString& nameProblem() const { return m_nameProblem; }

private:
    QComboBox* m_combo11;
    QLineEdit* m_text1;
    QLineEdit* m_text2;
    QComboBox* m_combo2;
    QLabel* m_label12;
    QString m_nameProblem;
};
