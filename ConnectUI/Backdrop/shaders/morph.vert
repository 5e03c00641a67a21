#version 440

// One point of the cloud: where it stands in the figure being left and in the figure being formed,
// and the fraction that sets its size.
layout(location = 0) in vec3 fromPosition;
layout(location = 1) in vec3 toPosition;
layout(location = 2) in float seed;

layout(location = 0) out vec4 colour;

// Shared with the fragment stage; MorphMaterial writes it at these offsets.
layout(std140, binding = 0) uniform buf {
    mat4 qt_Matrix;
    mat4 viewProjection;
    vec3 ink;
    float t;
    vec2 itemSize;
    float pointSize;
    float alpha;
    float shimmer;
    float qt_Opacity;
};

void main() {
    vec3 p = mix(fromPosition, toPosition, t);
    vec4 clip = viewProjection * vec4(p, 1.0);

    // Nearer points are larger and brighter.
    float d = max(clip.w, 0.3);
    float size = pointSize * (2.6 / d) * (0.55 + 0.75 * seed);
    float a = clamp(1.9 / d, 0.05, 1.0);
    vec3 tint = ink;
    if (shimmer >= 0.0) {
        // The band sweeps across the model's own x axis, so it travels through the figure.
        float dist = abs((p.x + 2.2) / 4.4 - shimmer);
        float band = exp(-42.0 * dist * dist);
        a += 0.75 * band;
        tint = mix(tint, vec3(1.0), 0.55 * band);
        size += 0.5 * band * pointSize;
    }
    colour = vec4(tint, alpha * a);
    gl_PointSize = size;

    // Behind the camera or outside the depth range: placed outside every clip volume.
    if (clip.w <= 0.0 || abs(clip.z) > clip.w) {
        gl_Position = vec4(0.0, 0.0, 2.0, 1.0);
        return;
    }
    // The scene graph places and orders items through qt_Matrix, so the point's normalised device
    // position becomes a position in the item's rectangle, y down, and goes through it.
    vec2 ndc = clip.xy / clip.w;
    vec2 local = vec2(ndc.x + 1.0, 1.0 - ndc.y) * 0.5 * itemSize;
    gl_Position = qt_Matrix * vec4(local, 0.0, 1.0);
}
