// The program listing as a Qt item model: rows are read straight from the panel's list box, so
// the window keeps no copy of the listing. `sync` tells the attached views what changed since
// the last call.
#pragma once

#include <QAbstractListModel>

#include "form1/form1.h"

namespace vintrel {

class ListingModel : public QAbstractListModel {
  public:
    ListingModel(ListBox& rows, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Takes the list box's changes: a reset after a rebuild, otherwise one dataChanged per
    // replaced row. Call it from the window's refresh, never from a handler. True for a reset.
    bool sync();

  private:
    ListBox& rows_;
    // The row count the views were last told; the list box may be half rebuilt in between
    // (a load's dialog lets the window paint), so rows are read only below both counts.
    int count_ = 0;
};

}  // namespace vintrel
