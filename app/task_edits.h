// The database side of the commands that change several rows at once. Each runs as one
// transaction, so the database never holds half of a change that the list then misrepresents.
// Portable: no window code, so the all-or-nothing behaviour is tested against real files.
#pragma once

#include <string>
#include <vector>

#include "store/task_store.h"

// Deletes the task and renumbers the rest to 0, 1, 2 ... together; false (nothing changed) when
// either step fails.
bool RemoveTask(TaskStore& store, const std::string& title);

// Deletes every listed task; false (nothing deleted) when any deletion fails.
bool RemoveTasks(TaskStore& store, const std::vector<std::string>& titles);

// Moves `lower` (the entry just below `upper` in the list) one place up and `upper` one place
// down: both priorities change and both rows are written, or neither. On failure the records
// keep their old priorities. The keys are the titles the two rows are stored under.
bool ExchangePriorities(TaskStore& store,
                        TaskRecord& upper,
                        const std::string& upperKey,
                        TaskRecord& lower,
                        const std::string& lowerKey);

// Writes an edited record over the row stored under `keyTitle`. On success `keyTitle` becomes
// the record's title; after a failure it still names the stored row, so a later save of the
// same edit finds it.
bool SaveEditedTask(TaskStore& store, const TaskRecord& record, std::string& keyTitle);
