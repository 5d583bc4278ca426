#pragma once

#include <QAbstractListModel>
#include <QIcon>
#include <QStringList>

// The names of the browse list LV1, each shown with the same file picture.
class FileListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit FileListModel(QObject* parent = nullptr);

    // Replaces every entry (rempliLV1): earlier selections are gone.
    void setNames(QStringList names);
    const QStringList& names() const { return m_names; }
    void setFileIcon(const QIcon& icon) { m_icon = icon; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QStringList m_names;
    QIcon m_icon;
};
