// Resource ids of the browser subsystem.
#pragma once
