// The game controller's header for the renderer. The physics' double Vec3 is seen here under
// another name so that it does not collide with the renderer's float Vec3 (render/mat4.h); the
// renderer reads the controller's fields and never calls the physics' geometry functions.
#pragma once

#define Vec3 PhysicsVec3
#include "physics/geometry.h"
#undef Vec3

#include "client/gamehandler/game_handler.h"
