#version 440

layout(location = 0) in vec4 colour;

layout(location = 0) out vec4 fragColor;

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
    // A round soft dot: full inside 0.32 of the point's width from its centre, gone at 0.5. Written
    // with rising edges, since smoothstep is undefined for falling ones.
    float m = 1.0 - smoothstep(0.32, 0.5, length(gl_PointCoord - vec2(0.5)));
    if (m <= 0.01) {
        discard;
    }
    // The scene graph blends premultiplied colour (one, one minus source alpha), which gives the
    // source-alpha blend of the ink; alpha saturates as an 8-bit target would clamp it.
    float a = clamp(colour.a * m, 0.0, 1.0) * qt_Opacity;
    fragColor = vec4(colour.rgb * a, a);
}
