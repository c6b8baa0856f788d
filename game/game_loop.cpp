// Start-up, the event loop and the crash sequence of the car game.
#include "game/game_loop.h"

#include "game/controls.h"
#include "game/picture.h"
#include "qelma/qelma.h"

namespace {

// Flashes after which the blast stops flashing and the final verdict stands.
constexpr std::int32_t LAST_FLASH = 15;

void handle_click(GameState &g, int x, int y) {
    switch (classify_click(x, y)) {
    case CLICK_PANEL:
        press_button(x, y, g);
        break;
    case CLICK_ROAD:
        if (g.extra_count < MAX_EXTRA_CARS) {
            place_extra_car(x, y, g);
        }
        break;
    default:
        break;
    }
}

void handle_tick(GameState &g) {
    if (g.reset_stage == 2) {
        restart_game(g);
    }
    drift_sun(g.sun_x, g.sun_y);
    if (g.running != 0) {
        advance_traffic(g, TRAFFIC_SPEED);
    }
}

} // namespace

void game_start(GameState &g, void *instance, void *previous_instance, char *command_line,
                int show_command) {
    qelma_begin(instance, previous_instance, command_line, show_command);
    game_set_up(g);
}

void game_set_up(GameState &g) {
    qelma_set_logging(0);
    qelma_clear_canvas();
    qelma_set_animation(QELMA_ANIMATE_RUN);
    init_game_state(g);
    // The first picture has no placed cars, speed floor or crash step.
    draw_scene(g.sun_x, g.sun_y, g.points, g.running);
    draw_panel(g.slowed);
    snap_and_draw_car(g.player_x, g.player_y, g.player_color, g.points);
    snap_and_draw_car(g.rival_x, g.rival_y, QELMA_BLUE, g.points);
    g.quit = 0;
}

void handle_event(GameState &g, int kind, int x, int y, char key) {
    switch (kind) {
    case QELMA_MOUSE:
        handle_click(g, x, y);
        break;
    case QELMA_KBD:
        apply_key(key, g);
        break;
    case QELMA_PERIODIC:
        handle_tick(g);
        break;
    case QELMA_QUIT:
        g.quit = 1;
        break;
    default:
        break;
    }
}

void redraw(GameState &g) {
    draw_scene(g.sun_x, g.sun_y, g.points, g.running);
    draw_panel(g.slowed);
    snap_and_draw_car(g.player_x, g.player_y, g.player_color, g.points);
    snap_and_draw_car(g.rival_x, g.rival_y, QELMA_BLUE, g.points);
    draw_extra_cars(g.extra_x, g.extra_y, QELMA_BLUE, g.extra_count, g.points);
}

void crash_step(GameState &g) {
    switch (g.crash_phase) {
    case 1:
        draw_blast_frame_a(g.player_x, g.player_y, g.reset_stage);
        if (g.points <= 60) {
            draw_lose_verdict();
        } else {
            draw_win_verdict();
        }
        g.crash_phase = 2;
        break;
    case 2:
        draw_blast_frame_b(g.player_x, g.player_y);
        ++g.flash_count;
        g.crash_phase = 1;
        break;
    case 3:
        draw_blast_frame_a(g.player_x, g.player_y, g.reset_stage);
        if (g.points <= 60) {
            draw_lose_verdict();
        } else if (g.points < 90) {
            draw_win_verdict();
        } else {
            draw_top_verdict();
        }
        break;
    default:
        break;
    }
    if (g.flash_count > LAST_FLASH) {
        g.crash_phase = 3;
    }
}

bool game_pass_with_event(GameState &g, int kind, int x, int y, char key) {
    handle_event(g, kind, x, y, key);
    redraw(g);
    raise_speed_for_points(g.points, g.speed);
    crash_step(g);
    return g.quit == 0;
}

bool game_pass(GameState &g) {
    int x = 0;
    int y = 0;
    char key = 0;
    const int kind = qelma_next_event(&x, &y, &key);
    return game_pass_with_event(g, kind, x, y, key);
}

int cargame_main(void *instance, void *previous_instance, char *command_line, int show_command) {
    GameState g;
    game_start(g, instance, previous_instance, command_line, show_command);
    while (game_pass(g)) {
    }
    qelma_end();
    return 0;
}
