#include "common/FileWriter.h"

#include <QThreadPool>

namespace tessary {

QThreadPool& fileWriter()
{
    static QThreadPool* const pool = [] {
        auto* threads = new QThreadPool;
        threads->setMaxThreadCount(1);
        return threads;
    }();
    return *pool;
}

} // namespace tessary
