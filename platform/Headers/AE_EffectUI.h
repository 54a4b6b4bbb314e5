#pragma once
// Custom effect UI: events, their extra record, and the custom UI registration record.
#include "AE_Effect.h"
#include "adobesdk/drawbotsuite/DrawbotSuiteTypes.h"

#pragma pack(push, 8)

#ifdef __cplusplus
extern "C" {
#endif

typedef A_long PF_EventType;
enum {
    PF_Event_NONE = -1,
    PF_Event_NEW_CONTEXT = 0,
    PF_Event_ACTIVATE,
    PF_Event_DO_CLICK,
    PF_Event_DRAG,
    PF_Event_DRAW,
    PF_Event_DEACTIVATE,
    PF_Event_CLOSE_CONTEXT,
    PF_Event_IDLE,
    PF_Event_KEYDOWN_OBSOLETE,
    PF_Event_ADJUST_CURSOR,
    PF_Event_KEYDOWN,
    PF_Event_MOUSE_EXITED,
    PF_Event_NUM_EVENTS
};

typedef A_long PF_WindowType;
enum {
    PF_Window_NONE = -1,
    PF_Window_COMP = 0,
    PF_Window_LAYER,
    PF_Window_EFFECT,
    PF_Window_PREVIEW
};

typedef A_long PF_EffectArea;
enum { PF_EA_NONE = 0, PF_EA_PARAM_TITLE, PF_EA_CONTROL };

typedef A_long PF_EventOutFlags;
enum {
    PF_EO_NONE = 0,
    PF_EO_HANDLED_EVENT = 1L << 0,
    PF_EO_ALWAYS_UPDATE = 1L << 1,
    PF_EO_NEVER_UPDATE = 1L << 2,
    PF_EO_UPDATE_NOW = 1L << 3
};

typedef A_long PF_EventInFlags;
enum { PF_EI_NONE = 0, PF_EI_DONT_DRAW = 1L << 0 };

typedef A_long PF_CustomEventFlags;
enum {
    PF_CustomEFlag_NONE = 0,
    PF_CustomEFlag_COMP = 1L << 0,
    PF_CustomEFlag_LAYER = 1L << 1,
    PF_CustomEFlag_EFFECT = 1L << 2,
    PF_CustomEFlag_PREVIEW = 1L << 3
};

typedef A_long PF_UIAlignment;
typedef A_long PF_Modifiers;
typedef A_long PF_CursorType;
typedef A_long PF_KeyCode;

#define PF_CONTEXT_MAGIC 0x05ea771e

typedef struct _PF_ContextRefcon* PF_ContextRefcon;

typedef struct _PF_Context {
    A_u_long magic;
    PF_WindowType w_type;
    PF_ContextRefcon reserved_flt;
    A_intptr_t plugin_state[4];
    DRAWBOT_DrawRef reserved_drawref;
    void* reserved_paneP;
    void* reserved_job_manageP;
} PF_Context, *PF_ContextPtr, **PF_ContextH;

typedef struct {
    A_u_long when;
    PF_Point screen_point;
    A_long num_clicks;
    PF_Modifiers modifiers;
    A_intptr_t continue_refcon[4];
    PF_Boolean send_drag;
    PF_Boolean last_time;
} PF_DoClickEventInfo;

typedef struct {
    PF_UnionableRect update_rect;
    A_long depth;
} PF_DrawEventInfo;

typedef struct {
    A_u_long when;
    PF_Point screen_point;
    PF_KeyCode keycode;
    PF_Modifiers modifiers;
} PF_KeyDownEvent;

typedef struct {
    PF_Point screen_point;
    PF_Modifiers modifiers;
    PF_CursorType set_cursor;
} PF_AdjustCursorEventInfo;

typedef union {
    PF_DoClickEventInfo do_click;
    PF_DrawEventInfo draw;
    PF_KeyDownEvent key_down;
    PF_AdjustCursorEventInfo adjust_cursor;
} PF_EventUnion;

typedef struct {
    PF_ParamIndex index;
    PF_EffectArea area;
    PF_UnionableRect current_frame;
    PF_UnionableRect param_title_frame;
    A_long horiz_offset;
} PF_EffectWindowInfo;

typedef struct {
    void* refcon;
    PF_Err (*layer_to_comp)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale,
                            PF_FixedPoint* pt);
    PF_Err (*comp_to_layer)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale,
                            PF_FixedPoint* pt);
    PF_Err (*get_comp2layer_xform)(void* refcon, PF_ContextH context, A_long curr_time,
                                   A_long time_scale, A_long* exists, PF_FloatMatrix* comp2layer);
    PF_Err (*get_layer2comp_xform)(void* refcon, PF_ContextH context, A_long curr_time,
                                   A_long time_scale, PF_FloatMatrix* layer2comp);
    PF_Err (*source_to_frame)(void* refcon, PF_ContextH context, PF_FixedPoint* pt);
    PF_Err (*frame_to_source)(void* refcon, PF_ContextH context, PF_FixedPoint* pt);
    PF_Err (*info_draw_color)(void* refcon, PF_Pixel color);
    PF_Err (*info_draw_text)(void* refcon, const A_char* text1Z0, const A_char* text2Z0);
} PF_EventCallbacks;

typedef struct {
    PF_ContextH contextH;
    PF_EventType e_type;
    PF_EventUnion u;
    PF_EffectWindowInfo effect_win;
    PF_EventCallbacks cbs;
    PF_EventInFlags evt_in_flags;
    PF_EventOutFlags evt_out_flags;
} PF_EventExtra;

struct _PF_CustomUIInfo {
    A_long reserved;
    PF_CustomEventFlags events;
    A_long comp_ui_width;
    A_long comp_ui_height;
    PF_UIAlignment comp_ui_alignment;
    A_long layer_ui_width;
    A_long layer_ui_height;
    PF_UIAlignment layer_ui_alignment;
    A_long preview_ui_width;
    A_long preview_ui_height;
    PF_UIAlignment preview_ui_alignment;
};

#ifdef __cplusplus
}
#endif

#pragma pack(pop)
