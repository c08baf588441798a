#pragma once

#include <QIdentityProxyModel>

/// The fleet as FleetModel gives it, the days since the last service of a controller due for
/// service in red.
class FleetColors : public QIdentityProxyModel
{
    Q_OBJECT

public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};
