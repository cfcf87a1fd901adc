#include "Guard.h"

#include "Prompts.h"
#include "StoreError.h"

#include <exception>

bool guarded(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const Abort&) {
    } catch (const StoreError& e) {
        Prompts::error(e.message());
    } catch (const std::exception& e) {
        Prompts::error(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        Prompts::error(QStringLiteral("Eroare neasteptata"));
    }
    return false;
}
