#include "qt/listing_model.h"

namespace vintrel {

ListingModel::ListingModel(ListBox& rows, QObject* parent)
    : QAbstractListModel(parent), rows_(rows) {
    sync();
}

int ListingModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count_;
}

QVariant ListingModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const int r = index.row();
    if (r < 0 || r >= count_ || r >= rows_.count()) return {};
    return QString::fromStdString(rows_.row(r));
}

bool ListingModel::sync() {
    const ListBox::Changes changes = rows_.takeChanges();
    if (changes.reset || count_ != rows_.count()) {
        beginResetModel();
        count_ = rows_.count();
        endResetModel();
        return true;
    }
    for (int r : changes.rows) {
        if (r < 0 || r >= count_) continue;
        const QModelIndex i = index(r);
        Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
    }
    return false;
}

}  // namespace vintrel
